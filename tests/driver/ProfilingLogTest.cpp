#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <regex>

#include "support/HostTree.h"

namespace {

using testing_support::RunResult;

const std::string kZero = "1970-01-01 00:00:00.000000";
const std::string kTime = R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6}))";

std::string UtcNow(int offset) {
  char text[32];
  time_t now = time(nullptr) + offset;
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", gmtime(&now));
  return text;
}

// A boot, two daemon runs and an invoke run in one tree; three debug plugins p1, p2, p3.
TEST(ProfilingLogTest, BootLogThenDaemonSectionsInUtc) {
  testing_support::HostTree tree;
  tree.Write("/etc/halvex/kickstand/debug.conf", "p1: :b1:true\np2:b1:b2:true\np3:b2: :true\n");
  std::string plugins = "--plugin-directory=" + tree.Path("/usr/libexec/kickstand/plugins");
  RunResult orphan = tree.Run({"--daemon", "--method=start"});
  EXPECT_TRUE(orphan.Logged("warning: unable to log daemon profiling information: failed to "
                            "write to temp file: No such file or directory.")) << orphan.out;
  setenv("TZ", "XYZ-5:30", 1);  // local time would shift every time stamp
  std::vector<std::string> times = {UtcNow(0)};
  RunResult boot = tree.Run({"--randomize=17", plugins});
  tree.Run({"--daemon", "--method=start"});
  tree.Run({"--daemon", "--method=start", "--parallel"});
  times.push_back(UtcNow(1));
  unsetenv("TZ");
  std::string log = tree.Read("/var/log/sysboot.log");
  tree.Run({"--invoke", "--method=start", "--plugin=p1", plugins});
  EXPECT_EQ(log, tree.Read("/var/log/sysboot.log"));

  std::string node = R"(\[)" + kTime + " - " + kTime + R"(\] sysboot: p)";
  std::vector<std::string> patterns = {
      R"(OZKernel Initialization Time: \d*000000)", node + "1", node + "2", node + "3",
      "=== Kickstand configuration info ===", " Start: " + kTime, " End: " + kTime,
      " Verbose: 0", " Parallel: 0", " Randomize: 1", " Interactive Mode: 0", " Random Seed: 17"};
  for (std::string parallel : {"0", "1"})
    patterns.insert(patterns.end(),
                    {"=== Daemon configuration info ===", " Start Daemon: " + kTime,
                     " End Daemon: " + kTime, " Verbose: 0", " Parallel: " + parallel,
                     " Randomize: 0", " Interactive Mode: 0", R"( Random Seed: \d+)"});
  std::vector<std::string> lines = tree.ReadLines("/var/log/sysboot.log");
  ASSERT_EQ(patterns.size(), lines.size()) << boot.out << log;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(lines[i], match, std::regex(patterns[i]))) << lines[i];
    for (size_t group = 1; group < match.size(); ++group)
      times.insert(times.end() - 1, match[group]);
  }
  ASSERT_EQ(14u, times.size());
  std::rotate(times.begin() + 1, times.begin() + 7, times.begin() + 8);  // run start first
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << testing::PrintToString(times);

  tree.Run({"--init", "--dump-dependency-tree", plugins});
  lines = tree.ReadLines("/var/log/sysboot.log");
  ASSERT_EQ(12u, lines.size());
  for (char n : {'1', '2', '3'})
    EXPECT_EQ("[" + kZero + " - " + kZero + "] sysboot: p" + n, lines[n - '0']);
}

}  // namespace
