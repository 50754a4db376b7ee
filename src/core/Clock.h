#pragma once
#include <chrono>
#include <sys/time.h>

namespace kickstand {

/// Where the run reads the time and waits. Passed to what needs it, so that
/// tests can fix the times a log records and skip the waits.
class Clock {
 public:
  virtual ~Clock() = default;
  /// The wall-clock time.
  virtual timeval Now() const = 0;
  /// A time that only moves forward, for deadlines.
  virtual std::chrono::steady_clock::time_point Steady() const = 0;
  virtual void Sleep(unsigned microseconds) const = 0;

  /// The system's clock, shared by the whole process.
  static const Clock& System();
};

}  // namespace kickstand
