#include <sstream>
#include <gtest/gtest.h>

#include "driver/RecordedDurations.h"
#include "platform/ProcessorCount.h"
#include "support/HostTree.h"

using testing_support::HostTree;
using testing_support::RunResult;

namespace {

const std::string kNoBoot = "info: no previous boot recorded; ordering by height";

std::string Entry(const std::string& name, const std::string& end) {
  return "[2026-01-31 23:59:07.000000 - 2026-01-31 23:59:" + end + "] sysboot: " + name + "\n";
}

std::optional<kickstand::RecordedDurations> Read(const std::string& entries) {
  std::istringstream in("OZKernel Initialization Time: 0\n" + entries);
  return kickstand::RecordedDurations::Read(in);
}

}  // namespace

// b is recorded twice; "never" never ran (zero times).
TEST(RecordedDurations, UnnamedPluginsCountTheMedianOfThoseThatRan) {
  auto durations = Read(Entry("a", "07.000300") + Entry("b", "07.002000") +
                        Entry("b", "07.000100") + Entry("c", "08.000000") +
                        Entry("d", "07.000500") + "[1970-01-01 00:00:00.000000 - 1970-01-01 "
                        "00:00:00.000000] sysboot: never\n");
  EXPECT_EQ(durations->Count(), 4u);
  EXPECT_EQ(durations->Of("b"), 2000);
  EXPECT_EQ(durations->Of("never"), (500 + 2000) / 2);
  EXPECT_EQ(Read(Entry("a", "07.000300"))->Of("x"), 300);
  EXPECT_EQ(Read("")->Of("x"), 1000);
}

// W workers, W + 1 ready plugins: W - 1 fillers (400 ms, height 2) take
// workers in either order, and one of head (quick, height 2) and slow
// (300 ms, height 0) must wait for a worker to come free. Then bad logs:
// serial and invoke runs (no message expected) ignore the option.
TEST(LearnedOrder, HistoryStartsTheLongestChainInTimeAndBadLogsFallBackOrAreSkipped) {
  HostTree tree;
  const unsigned workers = 2 * platform::ProcessorCount();
  std::string conf = "head: :a:true\ntail:a: :true\nslow: : :sleep 0.3\n";
  for (unsigned i = 1; i < workers; ++i)
    conf += "f" + std::to_string(i) + ": :a:sleep 0.4\n";
  tree.Write("/etc/halvex/kickstand/debug.conf", conf);
  auto headFirst = [&](const std::string& order, const std::string& logged) {
    RunResult run = tree.Run({"--parallel", "--order=" + order});
    EXPECT_TRUE(run.status == 0 && run.Logged(logged)) << run.out;
    std::string kernel = tree.Read("/var/log/kernel.log");
    return kernel.rfind("Activating Kickstand plugin head.") <
           kernel.rfind("Activating Kickstand plugin slow.");
  };
  EXPECT_TRUE(headFirst("history", kNoBoot));
  EXPECT_FALSE(headFirst("history", "info: ordering by the durations of " +
                                        std::to_string(workers + 2) +
                                        " plugins recorded by the previous boot"));
  EXPECT_TRUE(headFirst("height", "info: Launching Executor"));

  const std::vector<std::string> parallel{"--parallel", "--order=history"},
      serial{"--order=history"}, invoke{"--parallel", "--order=history", "--invoke",
                                        "--method=start", "--plugin=head.debug"};
  struct Case { std::string log; std::vector<std::string> args; std::string logged; };
  for (const Case& c : {Case{"", parallel, kNoBoot}, Case{"", serial, ""}, Case{"", invoke, ""},
                        Case{"OZKernel Initialization Time: 5\n" + Entry("p", "07.000300") +
                                 "garbage\n", parallel,
                             "info: ordering by the durations of 1 plugins recorded by the "
                             "previous boot (1 unreadable lines skipped)"}}) {
    tree.Write("/var/log/sysboot.log", c.log);
    RunResult run = tree.Run(c.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("recorded") == std::string::npos, c.logged.empty()) << run.out;
    EXPECT_TRUE(c.logged.empty() || run.Logged(c.logged)) << run.out;
  }
}
