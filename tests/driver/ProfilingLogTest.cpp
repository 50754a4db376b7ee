#include "driver/ProfilingLog.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <regex>

#include "support/HostTree.h"

using testing_support::HostTree;
using testing_support::RunResult;

namespace {

const time_t kMoment = 1769903947;  // 2026-01-31 23:59:07 UTC
const std::string kZero = "1970-01-01 00:00:00.000000";
const std::string kTime = R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6}))";

/// Three debug plugins that run in the order p1, p2, p3.
class ProfilingLogTest : public testing::Test {
 protected:
  void SetUp() override {
    tree.Write("/etc/halvex/kickstand/debug.conf", "p1: :b1:true\np2:b1:b2:true\np3:b2: :true\n");
  }
  RunResult Run(std::vector<std::string> args) const {
    args.push_back("--plugin-directory=" + tree.Path("/usr/libexec/kickstand/plugins"));
    return tree.Run(args);
  }
  std::vector<std::string> LogLines() const { return tree.ReadLines("/var/log/sysboot.log"); }

  HostTree tree;
};

TEST_F(ProfilingLogTest, FreshLogThenDaemonSectionsInRunOrder) {
  kickstand::ProfilingRecord record;
  record.start = {kMoment, 42};
  record.end = {kMoment + 3, 999999};
  record.uptimeSeconds = 73;
  record.entries = {{"p1", {kMoment, 100}, {kMoment + 1, 0}}, {"never", {0, 0}, {0, 0}}};
  record.parallel = record.interactive = true;
  record.randomSeed = -5;
  setenv("TZ", "XYZ-5:30", 1);  // local time would shift every time stamp
  tzset();
  kickstand::ProfilingLog log(tree.Path("/var/log/sysboot.log"));
  log.WriteFresh(record);
  log.AppendDaemonSection(record);
  log.AppendDaemonSection(record);
  unsetenv("TZ");
  tzset();
  std::string entries = "[2026-01-31 23:59:07.000100 - 2026-01-31 23:59:08.000000] KIND: p1\n[" +
                        kZero + " - " + kZero + "] KIND: never\n";
  std::string options = " Verbose: 0\n Parallel: 1\n Randomize: 0\n Interactive Mode: 1\n"
                        " Random Seed: -5\n";
  std::string daemon = std::regex_replace(entries, std::regex("KIND"), "daemon") +
                       "=== Daemon configuration info ===\n"
                       " Start Daemon: 2026-01-31 23:59:07.000042\n"
                       " End Daemon: 2026-01-31 23:59:10.999999\n" + options;
  EXPECT_EQ("OZKernel Initialization Time: 73000000\n" +
                std::regex_replace(entries, std::regex("KIND"), "sysboot") +
                "=== Kickstand configuration info ===\n"
                " Start: 2026-01-31 23:59:07.000042\n"
                " End: 2026-01-31 23:59:10.999999\n" + options + daemon + daemon,
            tree.Read("/var/log/sysboot.log"));
}

TEST_F(ProfilingLogTest, BootRunRecordsEveryPluginBetweenStartAndEnd) {
  RunResult result = Run({"--randomize=17"});
  std::vector<std::string> lines = LogLines();
  std::string node = R"(\[)" + kTime + " - " + kTime + R"(\] sysboot: p)";
  std::vector<std::string> patterns = {
      R"(OZKernel Initialization Time: \d*000000)", node + "1", node + "2", node + "3",
      "=== Kickstand configuration info ===", " Start: " + kTime, " End: " + kTime,
      " Verbose: 0", " Parallel: 0", " Randomize: 1", " Interactive Mode: 0", " Random Seed: 17"};
  ASSERT_EQ(patterns.size(), lines.size()) << result.out;
  std::vector<std::string> times;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(lines[i], match, std::regex(patterns[i]))) << lines[i];
    for (size_t group = 1; group < match.size(); ++group)
      times.push_back(match[group]);
  }
  ASSERT_EQ(8u, times.size());
  std::rotate(times.begin(), times.begin() + 6, times.begin() + 7);  // run start first
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << result.out;
  EXPECT_NE(kZero, times.front());
}

TEST_F(ProfilingLogTest, DumpRunWritesZeroTimes) {
  Run({"--init", "--dump-dependency-tree"});
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(12u, lines.size());
  for (char n : {'1', '2', '3'})
    EXPECT_EQ("[" + kZero + " - " + kZero + "] sysboot: p" + n, lines[n - '0']);
}

TEST_F(ProfilingLogTest, DaemonRunsNeedABootLogAndInvokeRunsWriteNone) {
  RunResult daemon = Run({"--daemon", "--method=start"});
  EXPECT_TRUE(daemon.Logged("warning: unable to log daemon profiling information: "
                            "failed to write to temp file: No such file or directory."))
      << daemon.out;
  Run({"--invoke", "--method=start", "--plugin=p1"});
  EXPECT_FALSE(tree.Exists("/var/log/sysboot.log"));
}

}  // namespace
