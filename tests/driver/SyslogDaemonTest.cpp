#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/HostTree.h"

namespace {

// One tree through the states of the configuration and the pid file.
TEST(SyslogDaemonTest, InitRunsUpgradeTheConfigurationAndSignalTheDaemon) {
  testing_support::HostTree tree;
  tree.WriteScript("/usr/lib/halvex/ozsyslog/bin/upgrade-syslog.conf.sh",
                   "echo run >> " + tree.Path("/upgraded"));
  testing_support::RunResult result = tree.Run({"--init"});
  EXPECT_TRUE(result.Logged("warning: unable to open ozksyslogd pid file.")) << result.out;
  EXPECT_FALSE(tree.Exists("/upgraded"));
  for (const char* content : {"", "0"}) {  // kill(0) would signal the run's own process group
    tree.Write("/var/run/halvex/ozsyslogd.pid", content);
    result = tree.Run({"--init"});
    EXPECT_EQ(0, result.status) << content;
    EXPECT_TRUE(result.Logged("error: unable to read ozsyslogd pid.")) << result.out;
  }

  pid_t daemon = fork();
  if (daemon == 0) {
    alarm(10);  // ends the helper should the signal never come
    for (;;) pause();
  }
  tree.Write("/etc/syslog.conf", "");
  tree.Write("/var/run/halvex/ozsyslogd.pid", std::to_string(daemon) + "\n");
  tree.Run({});
  EXPECT_FALSE(tree.Exists("/upgraded"));
  EXPECT_EQ(0, waitpid(daemon, nullptr, WNOHANG));
  tree.Run({"--init"});
  EXPECT_EQ("run\n", tree.Read("/upgraded"));
  int status = 0;
  ASSERT_EQ(daemon, waitpid(daemon, &status, 0));
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGUSR1) << status;
  result = tree.Run({"--init"});
  EXPECT_TRUE(result.Logged("warning: failed to reload ozsyslogd: No such process.")) << result.out;
}

}  // namespace
