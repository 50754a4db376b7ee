#pragma once
#include <string>
#include <thread>

namespace kickstand {

/// Client and server of the command executor process, both ends of the
/// control socket (ControlProtocol.h). The client side (Start, Stop, Execute,
/// Connect; TarncliExecutor.cpp) runs in kickstand's process; the server side
/// (OpenControlSocket, StartEventLoop, EventLoop, HandleControlConnection;
/// TarncliExecutorServer.cpp) only in the forked executor process.
class TarncliExecutor {
 public:
  /// The single instance; the first call also ignores SIGPIPE.
  static TarncliExecutor* GetInstance();
  virtual ~TarncliExecutor() = default;

  /// Makes sure an executor process listens; throws kickstand::Exception.
  void Start();
  /// Sends the stop request; throws only when it cannot be sent.
  void Stop();
  /// Runs one command line in the executor process; throws
  /// kickstand::Exception unless it reports status 0.
  void Execute(const std::string& commandLine);
  /// A connected socket, or -1.
  int Connect(bool logFailure);

  void OpenControlSocket();
  void StartEventLoop();
  void EventLoop();
  static void HandleControlConnection(void* clientData);

 private:
  TarncliExecutor() = default;
  /// Start under the global lock, logging instead of throwing.
  void Restart();
  /// Connect, restarting the executor process between failed attempts.
  int ConnectWithRestarts();
  /// The forked child of Start; ends the process on every path.
  [[noreturn]] void RunExecutorProcess();

  int controlSocket_ = -1;
  std::thread eventLoop_;
};

}  // namespace kickstand
