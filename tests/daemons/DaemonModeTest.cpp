#include <algorithm>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <tuple>

#include "support/HostTree.h"

namespace {

using testing_support::RunResult;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

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
    tree.Write("/calls", "");
    return tree.Run(args);
  }
  int IndexOf(const std::string& call) const {
    Lines calls = tree.ReadLines("/calls");
    auto at = std::find(calls.begin(), calls.end(), call);
    EXPECT_NE(calls.end(), at) << call;
    return static_cast<int>(at - calls.begin());
  }

  testing_support::HostTree tree;
  std::string listing;
};

std::string Call(const std::string& name, bool stop) {
  return name + (stop ? " stop" : " ++group=init/" + name + " start");
}

// Slow: the start run gives "forever" its ten seconds.
TEST(DaemonModeTest, ServicesFollowThePriorityChain) {
  ServiceTree s;
  std::string path = s.tree.Path("/etc/init.d/"), starting = "[ $1 = stop ] && exit\n",
              done = " done >> " + s.tree.Path("/calls");
  std::vector<std::tuple<std::string, int, std::string>> services = {
      {"b", 20, ""}, {"c", 20, ""}, {"a2", 10, ""}, {"neg", -1, "[ $1 = stop ] && exit 3"},
      {"a", 10, "s=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                "echo $s $(pwd) $KICKSTAND_ROOT > " + s.tree.Path("/a.env")},
      {"ok2", 10, starting + "sleep 2\necho ok2" + done},
      {"fail2", 10, starting + "sleep 2\necho fail2" + done + "\nexit 1"},
      {"forever", 20, starting + "echo $$ > " + s.tree.Path("/forever.pid") + "\nexec sleep 60"}};
  for (const auto& [name, priority, body] : services)
    s.Add(name, priority, body);
  s.Add("ozsyslogd", 5);
  s.Add("evtd", 5);
  s.listing += "echo '" + path + "missing 10'\necho\necho '/etc/init.d/unprioritised on'\n";
  auto checkOrder = [&](bool stop) {  // negative priorities come last, as unsigned
    for (const auto& [x, xPriority, xBody] : services)
      for (const auto& [y, yPriority, yBody] : services)
        if (static_cast<unsigned>(xPriority) < static_cast<unsigned>(yPriority)) {
          EXPECT_NE(stop, s.IndexOf(Call(x, stop)) < s.IndexOf(Call(y, stop))) << x << y;
        }
  };

  RunResult dump = s.Run({"--daemon", "--method=start", "--dump-dependency-tree"});
  EXPECT_EQ("", s.tree.Read("/calls"));
  for (std::string priority : {"10", "20"})
    EXPECT_NE(std::string::npos, dump.out.find("[label=\"_<->_priority_<->_" + priority +
                                               "\" shape=trapezium];\n")) << dump.out;

  auto begin = Clock::now();
  RunResult started = s.Run({"--daemon", "--method=start", "--parallel"});
  EXPECT_GE(Clock::now() - begin, std::chrono::seconds(9));
  EXPECT_EQ(0, started.status) << started.out << started.err;
  checkOrder(false);
  EXPECT_EQ(10u, s.tree.ReadLines("/calls").size());
  // Both began before either ended.
  EXPECT_LT(s.IndexOf(Call("ok2", false)), s.IndexOf("fail2 done"));
  EXPECT_LT(s.IndexOf(Call("fail2", false)), s.IndexOf("ok2 done"));
  EXPECT_EQ("/dev/null /dev/null /dev/null / " + s.tree.Root() + "\n", s.tree.Read("/a.env"));
  for (const std::string& line :
       Lines{"info: a started.", "info: ok2 started.", "info: forever started.",
             "warning: Kickstand failed to start: fail2 reason: Execution of command: " + path +
                 "fail2 ++group=init/fail2 start failed with status: 1",
             "error: Method invocation failed: missing->start() failed: failed to ForkExec '" +
                 path + "missing ++group=init/missing start' : No such file or directory"})
    EXPECT_TRUE(started.Logged(line)) << line << started.out;
  EXPECT_EQ(0, kill(std::stoi(s.tree.Read("/forever.pid")), 0)) << "daemon not left running";
  EXPECT_FALSE(started.Logged("info: Launching Executor"));
  for (const std::string& line : started.LogLines())
    for (const char* absent : {"evtd", "ozsyslogd", "unprioritised"})
      EXPECT_EQ(std::string::npos, line.find(absent)) << line;
  std::string progress = s.tree.Read("/var/log/progress.log");
  EXPECT_NE(std::string::npos, progress.find("progress: Starting service c\n"));
  EXPECT_EQ(std::string::npos, progress.find("progress: Activating Kickstand Plugins"));

  RunResult stopped = s.Run({"--daemon", "--method=stop", "--parallel"});
  EXPECT_EQ(0, stopped.status) << stopped.out << stopped.err;
  checkOrder(true);
  EXPECT_EQ(8u, s.tree.ReadLines("/calls").size());
  std::string neg = "Execution of command: " + path + "neg stop failed with status: 3";
  EXPECT_TRUE(stopped.Logged("info: b stopped."));
  EXPECT_TRUE(stopped.Logged("warning: Kickstand failed to stop: neg reason: " + neg));
  std::string kernel = s.tree.Read("/var/log/kernel.log");
  for (const std::string& line : Lines{"Deactivating Daemon a.", "Daemon a deactivated.",
                                       "Daemon neg deactivation failed: " + neg})
    EXPECT_NE(std::string::npos, kernel.find(line + "\n")) << line;
  EXPECT_FALSE(s.tree.Exists("/bootbank/kickstnd.gz"));

  s.listing.clear();
  s.Add("slow5", 10, "sleep 5");
  begin = Clock::now();
  RunResult timed = s.Run({"--daemon=wait", "--daemon-wait-timeout=1", "--method=start"});
  // Ended at its limit, not by slow5 after 5 s.
  EXPECT_NEAR(2.4, std::chrono::duration<double>(Clock::now() - begin).count(), 1.5);
  EXPECT_EQ(0, timed.status) << timed.out << timed.err;
}

}  // namespace
