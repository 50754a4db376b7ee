#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "commandexec/ConnectionWorkers.h"

namespace kickstand {

/// The executor process's side of the control socket while it serves. The
/// event-loop thread accepts; a connection waits in the poll loop until its
/// request has arrived (a client that sends nothing for 10 seconds is
/// dropped), so idle clients hold up no one, and is then served by the
/// workers (TarncliExecutor::HandleControlConnection), in accept order. A
/// stop request, or the end of the run that started the executor, ends
/// accepting and refuses new clients; what was accepted is still served,
/// and the stop request's connection closes once that is done.
class ControlServer {
 public:
  /// Serves listener with at most `workers` connections at once, until the
  /// lifeline (unless -1) hangs up or a stop request comes.
  ControlServer(int listener, size_t workers, int lifeline = -1);
  /// Serves what was accepted, then closes the stop requests' connections.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  /// Registers with the poll loop; false when it cannot.
  bool Register();
  /// The poll loop's stop flag, set once a stop request has been read.
  char* StopFlag() { return &stopped_; }

 private:
  /// An accepted connection whose request has not arrived yet.
  struct Pending {
    ControlServer* server;
    int connection;
    uint64_t number;
    uint64_t ticks;
  };

  // Poll callbacks, on the event-loop thread.
  static void Accept(void* server);
  static void RequestArrived(void* pending);
  static void Tick(void* server);
  static void StopRequested(void* server);
  static void StarterEnded(void* server);

  void Wait(int connection, uint64_t number);
  /// Takes connection out of the poll loop and out of pending_.
  int Forget(int connection);
  void SetTicking(bool on);
  void StopServing();
  /// On a worker.
  void Serve(int connection);

  int listener_;
  int lifeline_;
  int stopEvent_;
  int ticker_;
  char stopped_ = 0;
  uint64_t accepted_ = 0;
  std::map<int, Pending> pending_;
  std::mutex stopMutex_;
  std::vector<int> stopClients_;
  ConnectionWorkers workers_;
};

}  // namespace kickstand
