#pragma once
#include <chrono>
#include <cstdint>
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

/// A wall-clock time as one number, for differences and comparisons.
inline int64_t Microseconds(const timeval& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000000 + time.tv_usec;
}

}  // namespace kickstand
