#pragma once
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <sys/un.h>

namespace kickstand {

/// The control protocol between kickstand and its command executor process.
/// A client connects to the control socket, sends one request of at most
/// kRequestSize - 1 bytes, half-closes its side and reads back one status.
namespace control {

const size_t kRequestSize = 1024;
/// A request whose first four bytes are these, in any case, stops the
/// executor; it gets no status.
const char kStopRequest[] = "stop";
const size_t kStopLength = 4;
/// The reply: 0 when the command line ran, 1 otherwise; native byte order.
using Status = int32_t;

/// The control socket's address. False with ENAMETOOLONG when the path under
/// a long relocation root does not fit: cut short, it would name another
/// file, or another tree's socket.
bool SocketAddress(sockaddr_un& address);
int ConnectTo(int fd, const sockaddr_un& address);
/// send and recv, repeated while a signal interrupts them.
ssize_t Send(int fd, const void* data, size_t size);
ssize_t Receive(int fd, void* buffer, size_t size);

}  // namespace control
}  // namespace kickstand
