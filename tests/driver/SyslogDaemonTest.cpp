#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/HostTree.h"

using testing_support::RunResult;

namespace {

class SyslogDaemonTest : public testing::Test {
 protected:
  void SetUp() override {
    tree.WriteScript("/usr/lib/halvex/ozsyslog/bin/upgrade-syslog.conf.sh",
                     "echo run >> " + tree.Path("/upgraded"));
  }
  RunResult Run(std::vector<std::string> args) const {
    args.push_back("--plugin-directory=" + tree.Path("/usr/libexec/kickstand/plugins"));
    return tree.Run(args);
  }

  testing_support::HostTree tree;
};

TEST_F(SyslogDaemonTest, LegacyConfigurationIsUpgradedOnlyInInitRuns) {
  RunResult result = Run({"--init"});
  EXPECT_FALSE(tree.Exists("/upgraded"));
  EXPECT_TRUE(result.Logged("warning: unable to open ozksyslogd pid file.")) << result.out;
  tree.Write("/etc/syslog.conf", "");
  result = Run({});
  EXPECT_FALSE(result.Logged("warning: unable to open ozksyslogd pid file.")) << result.out;
  Run({"--init"});
  EXPECT_EQ("run\n", tree.Read("/upgraded"));
}

TEST_F(SyslogDaemonTest, UnreadablePidSignalsNobody) {
  // "0" would make kill() signal our own process group.
  for (const char* content : {"", "0", "pid"}) {
    tree.Write("/var/run/halvex/ozsyslogd.pid", content);
    RunResult result = Run({"--init"});
    EXPECT_EQ(0, result.status) << content;
    EXPECT_TRUE(result.Logged("error: unable to read ozsyslogd pid.")) << result.out;
  }
}

TEST_F(SyslogDaemonTest, InitRunsSignalTheDaemonToReload) {
  pid_t daemon = fork();
  if (daemon == 0)
    for (;;) pause();
  tree.Write("/var/run/halvex/ozsyslogd.pid", std::to_string(daemon) + "\n");
  Run({});
  EXPECT_EQ(0, waitpid(daemon, nullptr, WNOHANG));
  Run({"--init"});
  int status = 0;
  pid_t ended = 0;
  for (int tries = 0; tries < 500 && (ended = waitpid(daemon, &status, WNOHANG)) == 0; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (ended == 0) {
    kill(daemon, SIGKILL);
    waitpid(daemon, nullptr, 0);
  }
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1);

  RunResult result = Run({"--init"});
  EXPECT_TRUE(result.Logged("warning: failed to reload ozsyslogd: No such process.")) << result.out;
}

}  // namespace
