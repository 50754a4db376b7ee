#pragma once
#include <string>

namespace kickstand {

class Clock;
class Interruption;

/// One run at a time on a host tree: an exclusive lock (flock) on a file,
/// held by an open descriptor, so that it ends with the process that holds
/// it and with the command executor that process forks; never a pid file
/// that can go stale. The file holds the holder's process id, for the
/// message of a run that waits.
class RunLock {
 public:
  enum class Outcome {
    Held,        // this run holds the lock until the process ends
    Unlocked,    // it cannot be taken here (logged); the run goes on without it
    Interrupted  // the run was interrupted while it waited
  };

  RunLock(const Clock& clock, const Interruption& interruption)
      : clock_(clock), interruption_(interruption) {}
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  /// Takes the lock on path, waiting as long as another run holds it: level
  /// 5 "another kickstand run (pid N) is in progress; waiting for it to
  /// finish" once, then a look every 20 ms. Where the file cannot be opened
  /// or locked at all, level 3 naming the reason.
  Outcome Take(const std::string& path);

 private:
  /// The holder's process id as its file says, 0 when unreadable.
  long Holder() const;
  /// True once the lock is taken; false when the run is interrupted first,
  /// or the lock fails otherwise (errno says why).
  bool WaitForHolder();

  const Clock& clock_;
  const Interruption& interruption_;
  int fd_ = -1;
};

}  // namespace kickstand
