#pragma once
#include <string>
#include <thread>

#include "core/Deadline.h"

namespace kickstand {

/// Client and server of the command executor process, both ends of the
/// control socket (ControlProtocol.h). The client side (Start, Stop, Execute,
/// Connect; TarncliExecutor.cpp) runs in kickstand's process; the server side
/// (OpenControlSocket, StartEventLoop, EventLoop, HandleControlConnection,
/// AwaitStop; TarncliExecutorServer.cpp, with ControlServer) only in the
/// forked executor process.
class TarncliExecutor {
 public:
  /// The single instance; the first call also ignores SIGPIPE.
  static TarncliExecutor* GetInstance();
  virtual ~TarncliExecutor() = default;

  /// Makes sure an executor process listens; throws kickstand::Exception.
  /// An executor it starts ends by itself, ending its commands first, once
  /// this process has ended by any means.
  void Start();
  /// Sends the stop request and waits until the executor has served what
  /// it had accepted; throws only when the request cannot be sent.
  void Stop();
  /// Runs one command line in the executor process; throws
  /// kickstand::Exception unless it reports status 0. When no status has
  /// come at the deadline, or the run is interrupted, closes the connection,
  /// which makes the executor end the command, and throws what the deadline
  /// throws when reached.
  void Execute(const std::string& commandLine, const Deadline& deadline = Deadline());
  /// A connected socket, or -1.
  int Connect(bool logFailure);

  void OpenControlSocket();
  /// Serves the control socket on the event-loop thread until a stop request.
  void StartEventLoop();
  void EventLoop();
  /// Waits for the event loop to end after a stop request and closes the
  /// control socket.
  void AwaitStop();
  /// One connection's whole exchange on the calling thread: the peer check,
  /// the request, and then either the stop request (true; no reply) or the
  /// command line run and its status sent back. The connection stays open.
  static bool HandleControlConnection(int connection);

 private:
  TarncliExecutor() = default;
  /// Start under the global lock, logging instead of throwing.
  void Restart();
  /// Connect, restarting the executor process between failed attempts.
  int ConnectWithRestarts();
  /// The forked child of Start; ends the process on every path.
  [[noreturn]] void RunExecutorProcess();
  /// A fresh pipe between this process and the executor it starts next.
  void NewLifeline();

  int controlSocket_ = -1;
  std::thread eventLoop_;
  /// The executor watches the read end and stops once it hangs up: the run
  /// that started it, the only holder of the write end, has ended.
  int lifeline_[2] = {-1, -1};
};

}  // namespace kickstand
