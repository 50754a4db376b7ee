#include "core/Clock.h"

#include <unistd.h>

namespace kickstand {
namespace {

class SystemClock : public Clock {
 public:
  timeval Now() const override {
    timeval now{0, 0};
    gettimeofday(&now, nullptr);
    return now;
  }
  std::chrono::steady_clock::time_point Steady() const override {
    return std::chrono::steady_clock::now();
  }
  void Sleep(unsigned microseconds) const override { usleep(microseconds); }
};

}  // namespace

const Clock& Clock::System() {
  static const auto* clock = new SystemClock();  // outlives every worker
  return *clock;
}

}  // namespace kickstand
