#pragma once
#include <atomic>
#include <csignal>
#include <functional>
#include <future>
#include <thread>

namespace kickstand {

class Interruption;

/// SIGTERM, SIGINT and SIGHUP, taken by one thread of their own so that no
/// work runs in a signal handler: they are blocked in the thread that makes
/// the watch and in every thread started after it, and the watch's thread
/// waits for them. The first one interrupts the run.
class SignalWatch {
 public:
  /// Make it before any other thread starts. heard runs on the watch's
  /// thread just before the interruption.
  SignalWatch(Interruption& interruption, std::function<void()> heard);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  /// Ends the process as signal does by its default action, so that the
  /// parent sees how the run ended.
  [[noreturn]] static void EndBy(int signal);

 private:
  /// The thread's body; it sets waiting once it is about to wait.
  void Watch(std::promise<void>* waiting);

  Interruption& interruption_;
  std::function<void()> heard_;
  sigset_t signals_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace kickstand
