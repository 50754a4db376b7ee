#pragma once
#include <condition_variable>
#include <mutex>

namespace kickstand {

/// The process-wide recursive mutex that guards the graph, the barrier
/// registry, the priority list, the ready queue and the creation of the run
/// options. Recursive because graph operations call one another under it.
std::recursive_mutex& GlobalMutex();

/// Holds the global lock for its lifetime.
class ScopedLock {
 public:
  ScopedLock() : guard_(GlobalMutex()) {}
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  /// Waits on a condition of the graph. The caller must hold the lock
  /// exactly once, or the wait would sleep with the mutex still taken.
  void Wait(std::condition_variable_any& condition) { condition.wait(GlobalMutex()); }

 private:
  std::lock_guard<std::recursive_mutex> guard_;
};

}  // namespace kickstand
