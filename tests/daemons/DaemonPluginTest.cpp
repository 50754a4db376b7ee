#include "daemons/DaemonPlugin.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include "daemons/LegacyDaemonPlugin.h"
#include "driver/RunOptions.h"
#include "graph/InitBarrier.h"
#include "support/ScratchRoot.h"

namespace {

/// A daemon whose start command the test chooses.
struct TestDaemon : kickstand::DaemonPlugin {
  explicit TestDaemon(const std::string& start) : DaemonPlugin("svc", 7, 3) {
    if (!start.empty()) commands_[kStartCommand] = start;
  }
};

template <typename Operation>
std::string FailureOf(Operation operation) {
  try {
    operation();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(DaemonPluginTest, FailureTexts) {
  TestDaemon none(""), failing("/bin/false"), missing("/nonexistent/x start");
  EXPECT_EQ("method `DaemonPlugin::Restart' is not implemented", FailureOf([&] { none.Restart(); }));
  EXPECT_EQ("method `DaemonPlugin::SSLReset' is not implemented",
            FailureOf([&] { none.SSLReset(); }));
  EXPECT_EQ("svc Daemon operations are not initialized", FailureOf([&] { none.Stop(); }));
  EXPECT_EQ("svc->start() failed: svc Daemon operations are not initialized",
            FailureOf([&] { none.Start(); }));
  EXPECT_EQ("svc->start() failed: Execution of command: /bin/false failed with status: 1",
            FailureOf([&] { failing.Start(); }));
  EXPECT_EQ("svc->start() failed: failed to ForkExec '/nonexistent/x start' : No such file or "
            "directory", FailureOf([&] { missing.Start(); }));
  {
    kickstand::LegacyDaemonPlugin service("example", "/etc/init.d/example", 10);
    EXPECT_EQ("/etc/init.d/example ++group=init/example start", service.GetCommand(2));
    EXPECT_EQ("/etc/init.d/example stop", service.GetCommand(4));
    EXPECT_EQ("method `LegacyDaemonPlugin::ApplyHostProfile' is not implemented",
              FailureOf([&] { service.ApplyHostProfile(); }));
  }
  kickstand::InitBarrier::ClearRegistry();
}

// /dev/log cannot be opened for writing here, so standard error is /dev/null.
TEST(DaemonPluginTest, ChildRunsInRootWithTheGivenEnvironmentAndNullStreams) {
  std::string script = testing_support::ScratchRoot() + "/report.sh";
  std::string out = testing_support::ScratchRoot() + "/child";
  std::ofstream(script) << "#!/bin/sh\nstreams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 "
                           "/proc/$$/fd/2)\n{ echo \"$#:$1:$2\"; pwd; echo \"$MARK\"; "
                           "echo \"$streams\"; } > " << out << "\n";
  chmod(script.c_str(), 0755);
  char mark[] = "MARK=given";
  char* environment[] = {mark, nullptr};
  kickstand::RunOptions& options = kickstand::RunOptions::Instance();
  options.environment = environment;
  TestDaemon daemon("  " + script + "   one \t two  ");
  EXPECT_NO_THROW(daemon.Start());
  options.environment = nullptr;
  std::ifstream file(out);
  std::ostringstream text;
  text << file.rdbuf();
  EXPECT_EQ("2:one:two\n/\ngiven\n/dev/null\n/dev/null\n/dev/null\n", text.str());
}

}  // namespace
