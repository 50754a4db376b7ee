#include "driver/ProfilingLog.h"

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <gtest/gtest.h>

#include "core/RunOptions.h"
#include "driver/RecordedDurations.h"
#include "platform/ProcessorCount.h"
#include "support/HostTree.h"
#include "support/ScratchRoot.h"
#include "support/TestContext.h"

namespace {

using kickstand::ProfilingLog;
using kickstand::ProfilingRecord;
using testing_support::HostTree;
using testing_support::ReadScratchFile;
using testing_support::RunResult;

const char kLog[] = "/var/log/sysboot.log";
const std::string kNoBoot = "info: no previous boot recorded; ordering by height";

std::string Entry(const std::string& name, const std::string& end) {
  return "[2026-01-31 23:59:07.000000 - 2026-01-31 23:59:" + end + "] sysboot: " + name + "\n";
}

std::optional<kickstand::RecordedDurations> Read(const std::string& entries) {
  std::istringstream in("OZKernel Initialization Time: 0\n" + entries);
  return kickstand::RecordedDurations::Read(in);
}

// Two plugins on a clock set to 2026-01-31 23:59:07.000042 UTC: p1 starts
// 458 us into the run and takes 1.5 ms; "never" never runs. Local time
// would shift every time stamp: the log is in UTC whatever TZ says. Read
// back, the last boot skips and counts its bad lines and ends where the
// daemon section begins.
TEST(ProfilingLogTest, AFreshLogThenADaemonSectionAreWrittenWholeInUtcAndReadBack) {
  testing_support::ScratchRoot();
  kickstand::RunOptions given;
  given.parallel = given.randomize = true;
  given.randomSeed = -17;
  testing_support::TestContext test(given);
  test.clock.now = {1769903947, 42};
  const timeval start = test.clock.Now();
  testing_support::TestPlugin p1(test, "p1"), never(test, "never");
  test.clock.Advance(458);
  p1.Activate();
  test.clock.Advance(998999);
  const ProfilingRecord record =
      ProfilingRecord::FromRun(start, test.clock.Now(), 73, {&p1, &never}, test.options);
  ProfilingLog log(testing_support::ScratchRoot() + kLog);
  setenv("TZ", "XYZ-5:30", 1);
  tzset();
  log.WriteFresh(record);
  const std::string fresh = ReadScratchFile(kLog);
  log.AppendDaemonSection(record);
  unsetenv("TZ");
  tzset();
  const std::string ran = "[2026-01-31 23:59:07.000500 - 2026-01-31 23:59:07.002000] ";
  const std::string unrun = "[1970-01-01 00:00:00.000000 - 1970-01-01 00:00:00.000000] ";
  const std::string times = ": 2026-01-31 23:59:07.000042\n End";
  const std::string settings = ": 2026-01-31 23:59:08.000999\n Verbose: 0\n Parallel: 1\n"
                              " Randomize: 1\n Interactive Mode: 0\n Random Seed: -17\n";
  EXPECT_EQ("OZKernel Initialization Time: 73000000\n" + ran + "sysboot: p1\n" + unrun +
                "sysboot: never\n=== Kickstand configuration info ===\n Start" + times +
                settings + ran + "daemon: p1\n" + unrun + "daemon: never\n" +
                "=== Daemon configuration info ===\n Start Daemon" + times + " Daemon" + settings,
            ReadScratchFile(kLog));

  const std::string late = "[2026-01-31 23:59:09.000000 - 2026-01-31 23:59:08.000000]";
  std::istringstream text("OZKernel Initialization Time: 1\n" + fresh + late +
                          " sysboot: backwards\ngarbage\n[2026-13-31 23:59:0" +
                          std::string(1 << 20, 'x') + "\n[2026-01-31 23:5\n" +
                          ReadScratchFile(kLog).substr(fresh.size()));
  auto boot = ProfilingLog::ReadLastBoot(text);
  ASSERT_TRUE(boot);
  EXPECT_EQ(73000000u, boot->kernelMicroseconds);
  EXPECT_EQ(4u, boot->skippedLines);
  ASSERT_EQ(2u, boot->record.entries.size());
  EXPECT_TRUE(boot->record.parallel && boot->record.randomize && !boot->record.verbose);
  EXPECT_EQ(-17, boot->record.randomSeed);
  std::istringstream none("garbage\n");
  EXPECT_FALSE(ProfilingLog::ReadLastBoot(none));
}

// A boot, a daemon run and an invoke run in one tree; p1, p2, p3 run in
// that order.
TEST(ProfilingLogRun, BootsReplaceTheLogDaemonRunsAppendInvokeRunsLeaveIt) {
  HostTree tree;
  tree.Write("/etc/halvex/kickstand/debug.conf", "p1: :b1:true\np2:b1:b2:true\np3:b2: :true\n");
  tree.Run({"--randomize=17"});
  tree.Run({"--daemon", "--method=start"});
  std::string log = tree.Read(kLog);
  tree.Run({"--invoke", "--method=start", "--plugin=p1"});
  EXPECT_EQ(log, tree.Read(kLog));
  EXPECT_EQ(20u, tree.ReadLines(kLog).size());
  std::istringstream text(log);
  auto boot = ProfilingLog::ReadLastBoot(text);
  ASSERT_TRUE(boot && boot->record.entries.size() == 3 && boot->skippedLines == 0) << log;
  std::vector<timeval> times{boot->record.start};
  for (const auto& entry : boot->record.entries)
    times.insert(times.end(), {entry.start, entry.end});
  times.push_back(boot->record.end);
  for (size_t i = 1; i < times.size(); ++i)
    EXPECT_FALSE(timercmp(&times[i], &times[i - 1], <)) << log;
  EXPECT_EQ(17, boot->record.randomSeed);

  tree.Run({"--init", "--dump-dependency-tree"});
  std::istringstream dumped(tree.Read(kLog));
  boot = ProfilingLog::ReadLastBoot(dumped);
  ASSERT_TRUE(boot && boot->record.entries.size() == 3);
  for (const auto& entry : boot->record.entries)
    EXPECT_TRUE(entry.start.tv_sec == 0 && entry.end.tv_sec == 0) << entry.name;
}

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

}  // namespace
