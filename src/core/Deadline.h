#pragma once
#include <chrono>
#include <cstdint>
#include <optional>

#include "util/Exception.h"

namespace kickstand {

class Clock;

/// When a plugin's activation must have ended: a number of seconds after
/// its work began, or never. Every wait of the work (a child process, a
/// command executor's reply) is bounded by what is left of it, and the
/// thread that waited ends what it waited for.
class Deadline {
 public:
  /// Never.
  Deadline() = default;
  /// seconds from now on clock; 0 means never.
  Deadline(const Clock& clock, uint32_t seconds);

  /// The time left, zero once it has passed; nothing when there is no limit.
  std::optional<std::chrono::milliseconds> Left() const;
  /// What a wait that reached it throws.
  TimedOutException Expired() const { return TimedOutException(seconds_); }

 private:
  const Clock* clock_ = nullptr;
  uint32_t seconds_ = 0;
  std::chrono::steady_clock::time_point end_;
};

}  // namespace kickstand
