#include "core/Deadline.h"

#include <algorithm>

#include "core/Clock.h"

namespace kickstand {

Deadline::Deadline(const Clock& clock, uint32_t seconds)
    : clock_(seconds > 0 ? &clock : nullptr),
      seconds_(seconds),
      end_(clock.Steady() + std::chrono::seconds(seconds)) {}

std::optional<std::chrono::milliseconds> Deadline::Left() const {
  if (!clock_)
    return std::nullopt;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - clock_->Steady());
  return std::max(left, std::chrono::milliseconds(0));
}

}  // namespace kickstand
