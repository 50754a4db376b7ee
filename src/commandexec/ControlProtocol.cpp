#include "commandexec/ControlProtocol.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/socket.h>

#include "platform/HostPath.h"
#include "platform/HostPaths.h"

namespace kickstand {
namespace control {

bool SocketAddress(sockaddr_un& address) {
  std::string path = platform::HostPath(platform::paths::kControlSocket);
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return true;
}

int ConnectTo(int fd, const sockaddr_un& address) {
  return connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

ssize_t Send(int fd, const void* data, size_t size) {
  ssize_t sent;
  while ((sent = send(fd, data, size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return sent;
}

ssize_t Receive(int fd, void* buffer, size_t size) {
  ssize_t received;
  while ((received = recv(fd, buffer, size, 0)) < 0 && errno == EINTR) {
  }
  return received;
}

}  // namespace control
}  // namespace kickstand
