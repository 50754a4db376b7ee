#pragma once
#include <cerrno>
#include <deque>
#include <functional>
#include <sys/time.h>
#include <vector>

#include "core/Clock.h"
#include "platform/Spawner.h"

namespace testing_support {

/// A clock that shows a set time and moves only when slept on or told to.
class FakeClock : public kickstand::Clock {
 public:
  timeval Now() const override { return now; }
  std::chrono::steady_clock::time_point Steady() const override {
    return std::chrono::steady_clock::time_point(std::chrono::seconds(now.tv_sec) +
                                                 std::chrono::microseconds(now.tv_usec));
  }
  void Sleep(unsigned microseconds) const override {
    slept += microseconds;
    Advance(microseconds);
  }
  void Advance(unsigned long microseconds) const {
    unsigned long total = static_cast<unsigned long>(now.tv_usec) + microseconds;
    now.tv_sec += static_cast<time_t>(total / 1000000);
    now.tv_usec = static_cast<suseconds_t>(total % 1000000);
  }

  mutable timeval now{0, 0};
  mutable unsigned long slept = 0;
};

/// Records what it is asked to spawn and reports scripted waitpid outcomes,
/// then "still running" for ever.
class FakeSpawner : public platform::Spawner {
 public:
  struct Outcome { pid_t result; int error; int status; };

  pid_t Spawn(const platform::SpawnRequest& request) override {
    spawned.push_back(request);
    if (onSpawn) onSpawn();
    return 42;
  }
  pid_t TryWait(pid_t, int* status) override {
    if (outcomes.empty()) return 0;
    Outcome next = outcomes.front();
    outcomes.pop_front();
    *status = next.status;
    errno = next.error;
    return next.result;
  }
  bool Wait(pid_t child, int* status, std::optional<std::chrono::milliseconds>, int) override {
    pid_t result;
    while ((result = TryWait(child, status)) < 0 && errno == EINTR) {
    }
    return result == child;
  }
  void Signal(pid_t child, int signal) override { signals.push_back({child, signal}); }
  void EndRestOfGroup(pid_t, std::chrono::milliseconds) override {}
  pid_t Fork() override { return -1; }

  std::deque<Outcome> outcomes;
  std::function<void()> onSpawn;  // what happens meanwhile: a signal, say
  std::vector<platform::SpawnRequest> spawned;
  std::vector<std::pair<pid_t, int>> signals;
};

}  // namespace testing_support
