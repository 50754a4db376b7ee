#include "ControlSocketServer.h"

#include <cstdint>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "ProcessRoot.h"
#include "executor/TarncliExecutor.h"

namespace executor_tests {
namespace {

sockaddr_un Address() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, ControlSocketServer::SocketPath().c_str(),
          sizeof address.sun_path - 1);
  return address;
}

}  // namespace

ControlSocketServer::ControlSocketServer(mode_t mode) {
  boost::filesystem::create_directories(RootPath("/var/run/halvex"));
  unlink(SocketPath().c_str());
  sockaddr_un address = Address();
  listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      chmod(address.sun_path, mode) != 0 || listen(listener_, 16) != 0)
    throw std::runtime_error("cannot serve " + SocketPath() + ": " + strerror(errno));
  wake_ = eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread(&ControlSocketServer::Serve, this);
}

ControlSocketServer::~ControlSocketServer() {
  uint64_t one = 1;
  (void)!write(wake_, &one, sizeof one);
  thread_.join();
  close(listener_);
  close(wake_);
  unlink(SocketPath().c_str());
}

std::string ControlSocketServer::SocketPath() {
  return RootPath("/var/run/halvex/kickstandExecutor.sock");
}

void ControlSocketServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 || fds[1].revents)
      return;
    if (fds[0].revents)
      kickstand::TarncliExecutor::HandleControlConnection(&listener_);
  }
}

namespace {

int ConnectToServer() {
  sockaddr_un address = Address();
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    throw std::runtime_error("cannot connect to " + ControlSocketServer::SocketPath());
  }
  return fd;
}

}  // namespace

void ConnectAndLeave() { close(ConnectToServer()); }

std::string RoundTrip(const std::string& request) {
  int fd = ConnectToServer();
  if (!request.empty())
    (void)!send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  shutdown(fd, SHUT_WR);
  std::string reply;
  char buffer[64];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
    reply.append(buffer, static_cast<size_t>(n));
  close(fd);
  return reply;
}

}  // namespace executor_tests
