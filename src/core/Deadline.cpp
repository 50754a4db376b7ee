#include "core/Deadline.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

#include "core/Clock.h"
#include "util/Interruption.h"

namespace kickstand {

Deadline::Deadline(const Clock& clock, uint32_t seconds, const Interruption* interruption)
    : clock_(seconds > 0 ? &clock : nullptr),
      interruption_(interruption),
      seconds_(seconds),
      end_(clock.Steady() + std::chrono::seconds(seconds)) {}

std::optional<std::chrono::milliseconds> Deadline::Left() const {
  if (interruption_ && interruption_->Interrupted())
    return std::chrono::milliseconds(0);
  if (!clock_)
    return std::nullopt;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - clock_->Steady());
  return std::max(left, std::chrono::milliseconds(0));
}

bool Deadline::Passed() const {
  std::optional<std::chrono::milliseconds> left = Left();
  return left && left->count() == 0;
}

int Deadline::Watch() const { return interruption_ ? interruption_->Watch() : -1; }

bool Deadline::AwaitReadable(int fd) const {
  for (;;) {
    std::optional<std::chrono::milliseconds> left = Left();
    pollfd ready[] = {{fd, POLLIN, 0}, {Watch(), 0, 0}};  // a -1 is left out
    int count = poll(ready, 2, left ? static_cast<int>(left->count()) : -1);
    if (count < 0 && errno == EINTR)
      continue;
    if (count == 0 || ready[1].revents)
      return false;
    return true;  // a failed poll is left to the read to report
  }
}

void Deadline::Reached() const {
  if (interruption_ && interruption_->Interrupted())
    throw InterruptedException(interruption_->What());
  throw TimedOutException(seconds_);
}

}  // namespace kickstand
