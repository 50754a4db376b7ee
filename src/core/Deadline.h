#pragma once
#include <chrono>
#include <cstdint>
#include <optional>

#include "util/Exception.h"

namespace kickstand {

class Clock;
class Interruption;

/// When a plugin's activation must have ended: a number of seconds after
/// its work began, or never, and at once when the run is interrupted. Every
/// wait of the work (a child process, a command executor's reply) is
/// bounded by what is left of it and watches the interruption, and the
/// thread that waited ends what it waited for.
class Deadline {
 public:
  /// Never, and no interruption watched.
  Deadline() = default;
  /// seconds from now on clock; 0 means never.
  Deadline(const Clock& clock, uint32_t seconds, const Interruption* interruption = nullptr);

  /// The time left, zero once it has passed or the run is interrupted;
  /// nothing when there is no limit.
  std::optional<std::chrono::milliseconds> Left() const;
  /// Whether no time is left.
  bool Passed() const;
  /// A descriptor that hangs up when the run is interrupted, for poll; -1
  /// when no interruption is watched.
  int Watch() const;
  /// Waits until fd can be read, has hung up or failed: true. False when
  /// the deadline passed or the run was interrupted first.
  bool AwaitReadable(int fd) const;
  /// Throws what a wait that reached the deadline throws: the
  /// InterruptedException once the run is interrupted, else the
  /// TimedOutException.
  [[noreturn]] void Reached() const;

 private:
  const Clock* clock_ = nullptr;
  const Interruption* interruption_ = nullptr;
  uint32_t seconds_ = 0;
  std::chrono::steady_clock::time_point end_;
};

}  // namespace kickstand
