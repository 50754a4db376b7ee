#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace kickstand {

/// Serves connections on at most `limit` threads, the first started at
/// once and the others as they are needed, all kept until Drain. A connection waits for a free thread;
/// waiting ones are served in the order of their numbers, the order in
/// which they were accepted.
class ConnectionWorkers {
 public:
  ConnectionWorkers(size_t limit, std::function<void(int connection)> serve);
  ~ConnectionWorkers();
  ConnectionWorkers(const ConnectionWorkers&) = delete;
  ConnectionWorkers& operator=(const ConnectionWorkers&) = delete;

  /// Called from one thread only, as is Drain.
  void Add(uint64_t number, int connection);
  /// Serves every connection added so far, then ends the threads.
  void Drain();

 private:
  void Work();
  void Wake(size_t threads);

  const size_t limit_;
  const std::function<void(int)> serve_;
  /// One byte a connection added, and one a thread at Drain. A pipe rather
  /// than a condition variable: its wake-up tells the scheduler that the
  /// waker is about to sleep, so the woken thread runs on the waker's
  /// processor instead of waking another one.
  int wake_[2];
  std::mutex mutex_;
  std::map<uint64_t, int> waiting_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;  // threads waiting for a wake-up
  bool draining_ = false;
};

}  // namespace kickstand
