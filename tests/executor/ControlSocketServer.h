#pragma once
#include <string>
#include <thread>

namespace executor_tests {

/// Serves the control socket inside the test process: a thread that calls
/// TarncliExecutor::HandleControlConnection whenever the socket is readable,
/// as the executor's event loop does, but without forking and without
/// touching the executor's process-wide stop flag.
class ControlSocketServer {
 public:
  /// mode: of the socket file, so that a test can let other users connect.
  explicit ControlSocketServer(mode_t mode = 0600);
  ~ControlSocketServer();
  ControlSocketServer(const ControlSocketServer&) = delete;
  ControlSocketServer& operator=(const ControlSocketServer&) = delete;

  static std::string SocketPath();

 private:
  void Serve();

  int listener_ = -1;
  int wake_ = -1;
  std::thread thread_;
};

/// A raw protocol client: connects, sends request in one write, half-closes
/// and returns every byte the executor sent back.
std::string RoundTrip(const std::string& request);
/// Connects and closes again without sending anything.
void ConnectAndLeave();

}  // namespace executor_tests
