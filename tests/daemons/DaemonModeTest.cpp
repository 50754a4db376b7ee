#include <algorithm>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>

#include "support/HostTree.h"

namespace {

using testing_support::RunResult;
using Lines = std::vector<std::string>;

/// Init.d scripts that append "<name> <arguments>" to /calls before their
/// body, listed by a stub chkconfig.
struct ServiceTree {
  void Add(const std::string& name, int priority, const std::string& body = "") {
    tree.WriteScript("/etc/init.d/" + name,
                     "echo \"" + name + " $*\" >> " + tree.Path("/calls") + "\n" + body);
    listing += "echo '" + tree.Path("/etc/init.d/" + name) + " " + std::to_string(priority) + "'\n";
  }
  RunResult Run(const Lines& args) {
    tree.WriteScript("/bin/chkconfig", "[ \"$1\" = -p ] || exit 1\n" + listing);
    return tree.Run(args);
  }
  int IndexOf(const std::string& call) const {
    Lines calls = tree.ReadLines("/calls");
    return static_cast<int>(std::find(calls.begin(), calls.end(), call) - calls.begin());
  }

  testing_support::HostTree tree;
  std::string listing;
};

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(DaemonModeTest, StartAndStopFollowThePriorityChain) {
  ServiceTree s;
  for (auto [name, priority] : {std::pair{"b", 20}, {"a", 10}, {"c", 20}, {"ozsyslogd", 5},
                                {"a2", 10}, {"evtd", 5}})
    s.Add(name, priority);
  s.Add("neg", -1, "[ \"$1\" = stop ] && exit 3");
  s.listing += "echo\necho '/etc/init.d/unprioritised on'\n";
  RunResult start = s.Run({"--daemon", "--method=start", "--parallel"});
  EXPECT_EQ(0, start.status) << start.out << start.err;
  for (const char* low : {"a", "a2"})
    for (const char* high : {"b", "c"})
      EXPECT_LT(s.IndexOf(low + std::string(" ++group=init/") + low + " start"),
                s.IndexOf(high + std::string(" ++group=init/") + high + " start"));
  EXPECT_EQ(4, s.IndexOf("neg ++group=init/neg start"));
  EXPECT_TRUE(start.Logged("info: a started."));
  EXPECT_FALSE(start.Logged("info: Launching Executor"));
  for (const std::string& line : start.LogLines())
    for (const char* absent : {"evtd", "ozsyslogd", "unprioritised"})
      EXPECT_EQ(std::string::npos, line.find(absent)) << line;
  Lines progress = s.tree.ReadLines("/var/log/progress.log");
  EXPECT_TRUE(Contains(progress, "progress: Starting service c"));
  EXPECT_FALSE(Contains(progress, "progress: Activating Kickstand Plugins"));

  s.tree.Write("/calls", "");
  RunResult stop = s.Run({"--daemon", "--method=stop", "--parallel"});
  EXPECT_EQ(0, stop.status) << stop.out << stop.err;
  EXPECT_EQ(0, s.IndexOf("neg stop"));
  for (const char* low : {"a stop", "a2 stop"})
    for (const char* high : {"b stop", "c stop"})
      EXPECT_LT(s.IndexOf(high), s.IndexOf(low));
  EXPECT_EQ(5u, s.tree.ReadLines("/calls").size());  // no init program
  EXPECT_TRUE(stop.Logged("info: b stopped."));
  std::string neg = "Execution of command: " + s.tree.Path("/etc/init.d/neg") + " stop failed "
                    "with status: 3";
  EXPECT_TRUE(stop.Logged("warning: Kickstand failed to stop: neg reason: " + neg));
  Lines kernel = s.tree.ReadLines("/var/log/kernel.log");
  EXPECT_TRUE(Contains(kernel, "Deactivating Daemon a."));
  EXPECT_TRUE(Contains(kernel, "Daemon a deactivated."));
  EXPECT_TRUE(Contains(kernel, "Daemon neg deactivation failed: " + neg));
  EXPECT_FALSE(s.tree.Exists("/bootbank/kickstnd.gz"));
}

TEST(DaemonModeTest, DumpShowsThePriorityChainAndRunsNothing) {
  ServiceTree s;
  s.Add("b", 20);
  s.Add("a", 10);
  RunResult dump = s.Run({"--daemon", "--method=start", "--dump-dependency-tree"});
  EXPECT_EQ(0, dump.status) << dump.err;
  EXPECT_FALSE(s.tree.Exists("/calls"));
  for (const char* line : {"[label=\"a\"];\n", "[label=\"_<->_priority_<->_10\" shape=trapezium];\n",
                           "[label=\"_<->_priority_<->_20\" shape=trapezium];\n"})
    EXPECT_NE(std::string::npos, dump.out.find(line)) << line;
  size_t edges = 0;  // a to 10, 10 to b and to 20, b to 20
  for (size_t at = 0; (at = dump.out.find(" -> ", at)) != std::string::npos; ++at)
    ++edges;
  EXPECT_EQ(4u, edges);
}

// Slow: one run of about twelve seconds, then two short waiting runs.
TEST(DaemonModeTest, CommandsHaveTenSecondsOrTheWaitTimeout) {
  ServiceTree s;
  for (std::string name : {"ok2", "fail2"})
    s.Add(name, 10, "sleep 2\necho " + name + " done >> " + s.tree.Path("/calls") + "\n[ " + name +
          " = ok2 ]");
  s.Add("forever", 20, "echo $$ > " + s.tree.Path("/forever.pid") + "\nexec sleep 60");
  auto begin = std::chrono::steady_clock::now();
  RunResult run = s.Run({"--daemon", "--method=start", "--parallel"});
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::seconds(9));
  EXPECT_EQ(0, run.status) << run.out << run.err;
  EXPECT_TRUE(run.Logged("info: ok2 started."));
  EXPECT_TRUE(run.Logged("warning: Kickstand failed to start: fail2 reason: Execution of command: " +
                         s.tree.Path("/etc/init.d/fail2") + " ++group=init/fail2 start failed "
                         "with status: 1"));
  EXPECT_TRUE(run.Logged("info: forever started."));
  EXPECT_EQ(0, kill(std::stoi(s.tree.Read("/forever.pid")), 0)) << "daemon not left running";
  // Both began before either ended.
  EXPECT_LT(s.IndexOf("ok2 ++group=init/ok2 start"), s.IndexOf("fail2 done"));
  EXPECT_LT(s.IndexOf("fail2 ++group=init/fail2 start"), s.IndexOf("ok2 done"));

  ServiceTree w;
  w.Add("slow5", 10, "sleep 5");
  std::string command = w.tree.Path("/etc/init.d/slow5") + " ++group=init/slow5 start";
  for (const char* timeout : {"--daemon-wait-timeout=1", "--daemon-wait-timeout=0"}) {
    RunResult wait = w.Run({"--daemon=wait", timeout, "--method=start"});
    EXPECT_EQ(0, wait.status) << wait.out << wait.err;
    EXPECT_TRUE(wait.Logged("warning: Kickstand failed to start: slow5 reason: "
                            "Execution of command: '" + command + "' timed out.")) << wait.out;
  }
}

}  // namespace
