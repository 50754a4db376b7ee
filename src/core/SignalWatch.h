#pragma once
#include <functional>
#include <memory>
#include <mutex>

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
  /// From now on a signal is taken and ignored: the run is over.
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  /// Ends the process as signal does by its default action, so that the
  /// parent sees how the run ended.
  [[noreturn]] static void EndBy(int signal);

 private:
  /// Shared with the thread, which is never joined: the process ends
  /// without waiting for it to wake.
  struct State {
    std::mutex mutex;
    bool over = false;
  };

  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace kickstand
