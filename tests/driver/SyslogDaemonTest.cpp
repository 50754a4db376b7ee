#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "support/HostTree.h"

namespace {

// One tree through the states of the configuration and the pid file. Each
// init run starts both init programs; the first finds the configuration
// store's end-of-autoconf entry a directory, says so and goes on.
TEST(SyslogDaemonTest, InitRunsStartTheInitProgramsUpgradeTheConfigurationAndSignalTheDaemon) {
  testing_support::HostTree tree;
  const std::string marks = tree.Path("/marks"), store = "/var/lib/configstore/";
  tree.WriteScript("/usr/lib/halvex/ozsyslog/bin/ozsyslogd", "echo \"ozsyslogd $*\" >> " + marks);
  tree.WriteScript("/etc/init.d/evtd", "echo \"evtd $*\" >> " + marks);
  tree.WriteScript("/usr/lib/halvex/ozsyslog/bin/upgrade-syslog.conf.sh",
                   "echo run >> " + tree.Path("/upgraded"));
  boost::filesystem::create_directories(tree.Path(store + "end-autoconf"));
  testing_support::RunResult result = tree.Run({"--init"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ((std::vector<std::string>{"ozsyslogd -i", "evtd start"}), tree.ReadLines("/marks"));
  EXPECT_NE(std::string::npos, result.out.find("] error: Failed to disable autoconf: " +
                                               tree.Path(store + "end-autoconf") + ": "));
  EXPECT_TRUE(tree.Exists(store + "cleanup-boot-state"));
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
  EXPECT_EQ(6u, tree.ReadLines("/marks").size());  // those of the three init runs
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
