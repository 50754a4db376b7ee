#include "daemons/DaemonCommand.h"

#include <cerrno>
#include <csignal>
#include <deque>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "util/Exception.h"
#include "util/Interruption.h"

namespace {

using kickstand::DaemonCommand;

using testing_support::FakeClock;
using testing_support::FakeSpawner;

TEST(DaemonCommandTest, BudgetAndOutcomes) {
  EXPECT_EQ(71u, DaemonCommand::TickBudget(true, 4294968));  // 32-bit wrap
  const std::string failed = "Execution of command: /etc/init.d/x start failed";
  const std::string timedOut = "Execution of command: '/etc/init.d/x start' timed out.";
  const FakeSpawner::Outcome running{0, 0, 0}, eintr{-1, EINTR, 0};
  struct Case {
    std::deque<FakeSpawner::Outcome> outcomes;
    bool wait;
    uint32_t timeout;
    std::string failure;
    unsigned long slept;
    bool interrupted = false;  // as the budget's end: nothing is ended
  };
  // A zero timeout must fail at the first poll, not wrap to four billion ticks.
  for (const Case& c : std::vector<Case>{
           {{}, true, 1, timedOut, 1000000},
           {{}, true, 0, timedOut, 0},
           {{running, {42, 0, SIGKILL}}, false, 0, failed + " with signal: 9", 10000},
           {{{-1, ECHILD, 0}}, false, 0, failed + " <unknown_error>", 0},
           {{eintr, eintr, {42, 0, W_EXITCODE(0, 0)}}, true, 0, "", 0},
           {{}, true, 40, timedOut, 0, true},
           {{}, false, 40, "", 0, true}}) {
    FakeSpawner spawner;
    FakeClock clock;
    spawner.outcomes = c.outcomes;
    kickstand::Interruption interruption;
    if (c.interrupted)
      interruption.Interrupt(SIGTERM);
    std::string failure;
    try {
      DaemonCommand(spawner, clock, c.wait, c.timeout, &interruption)
          .Run("/etc/init.d/x start", nullptr);
    } catch (const kickstand::Exception& e) {
      failure = e.what();
    }
    EXPECT_EQ(c.failure, failure);
    EXPECT_EQ(c.slept, clock.slept) << c.failure;
    EXPECT_EQ(FakeSpawner().signals, spawner.signals);
  }
}

}  // namespace
