#include "daemons/DaemonCommand.h"

#include <cerrno>
#include <deque>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include "daemons/Spawner.h"
#include "util/Exception.h"

namespace {

using kickstand::DaemonCommand;

/// Reports scripted waitpid outcomes, then "still running" for ever.
struct FakeSpawner : kickstand::Spawner {
  struct Outcome { pid_t result; int error; int status; };

  pid_t Spawn(const kickstand::SpawnRequest&) override { return 42; }
  pid_t TryWait(pid_t, int* status) override {
    ++polls;
    if (outcomes.empty())
      return 0;
    Outcome next = outcomes.front();
    outcomes.pop_front();
    *status = next.status;
    errno = next.error;
    return next.result;
  }
  void Sleep(unsigned microseconds) override { slept += microseconds; }

  std::deque<Outcome> outcomes;
  unsigned polls = 0;
  unsigned long slept = 0;
};

/// The failure text of one run, or "" when it succeeded.
std::string Failure(FakeSpawner& spawner, bool wait, uint32_t timeout) {
  try {
    DaemonCommand(spawner, wait, timeout).Run("/etc/init.d/x start", nullptr);
  } catch (const kickstand::Exception& e) {
    return e.what();
  }
  return "";
}

const std::string kTimedOut = "Execution of command: '/etc/init.d/x start' timed out.";

TEST(DaemonCommandTest, BudgetOfTicks) {
  EXPECT_EQ(1000u, DaemonCommand::TickBudget(false, 1));
  EXPECT_EQ(4000u, DaemonCommand::TickBudget(true, 40));
  EXPECT_EQ(0u, DaemonCommand::TickBudget(true, 0));
  EXPECT_EQ(71u, DaemonCommand::TickBudget(true, 4294968));  // 32-bit wrap

  FakeSpawner quiet, waited, zero;
  EXPECT_EQ("", Failure(quiet, false, 1));
  EXPECT_EQ(10000000ul, quiet.slept);
  EXPECT_EQ(kTimedOut, Failure(waited, true, 1));
  EXPECT_EQ(1000000ul, waited.slept);
  EXPECT_EQ(kTimedOut, Failure(zero, true, 0));
  EXPECT_EQ(1u, zero.polls);
  EXPECT_EQ(0ul, zero.slept);
}

TEST(DaemonCommandTest, ChildOutcomes) {
  const std::string failed = "Execution of command: /etc/init.d/x start failed";
  std::vector<std::pair<FakeSpawner::Outcome, std::string>> cases = {
      {{42, 0, W_EXITCODE(0, 0)}, ""},
      {{42, 0, W_EXITCODE(3, 0)}, failed + " with status: 3"},
      {{42, 0, SIGKILL}, failed + " with signal: 9"},
      {{42, 0, W_STOPCODE(SIGSTOP)}, failed + " <unknown_error>"},
      {{-1, ECHILD, 0}, failed + " <unknown_error>"},
  };
  for (const auto& [outcome, failure] : cases) {
    FakeSpawner spawner;
    spawner.outcomes = {{0, 0, 0}, outcome};
    EXPECT_EQ(failure, Failure(spawner, false, 0));
  }
  FakeSpawner interrupted;
  interrupted.outcomes = {{-1, EINTR, 0}, {-1, EINTR, 0}, {42, 0, W_EXITCODE(0, 0)}};
  EXPECT_EQ("", Failure(interrupted, true, 0));
  EXPECT_EQ(0ul, interrupted.slept);
}

}  // namespace
