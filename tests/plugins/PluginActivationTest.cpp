#include <csignal>
#include <functional>
#include <gtest/gtest.h>

#include "core/RunOptions.h"
#include "plugins/DebugPlugin.h"
#include "plugins/JSONPlugin.h"
#include "plugins/Plugin.h"
#include "support/HostTree.h"
#include "support/ScratchRoot.h"
#include "support/TestContext.h"
#include "util/Exception.h"

using kickstand::RunOptions;
using testing_support::SplitLines;
using Signals = std::vector<std::pair<pid_t, int>>;

namespace {

struct Case {
  std::string method;
  bool trace;
  bool hostProfile;
  std::function<void()> start;
  std::vector<std::string> log;  // prefixes of the lines logged, in order
  std::string kernel;            // the kernel log's second line
};

void Check(const Case& c) {
  testing_support::ScratchRoot();
  testing_support::ClearScratchLogs();
  RunOptions options;
  options.method = c.method;
  options.trace = c.trace;
  testing_support::TestContext test(options);
  testing_support::TestPlugin plugin(test, "p", c.start, c.hostProfile);
  testing::internal::CaptureStderr();
  plugin.Activate();
  std::vector<std::string> log = SplitLines(testing::internal::GetCapturedStderr());
  ASSERT_EQ(log.size(), c.log.size()) << c.method << " " << c.kernel;
  for (size_t i = 0; i < log.size(); ++i)
    EXPECT_EQ(log[i].rfind(c.log[i], 0), 0u) << log[i];
  std::vector<std::string> lines = SplitLines(testing_support::ReadScratchFile("/var/log/kernel.log"));
  EXPECT_EQ(lines, (std::vector<std::string>{"Activating Kickstand plugin p.", c.kernel}));
}

const std::string kActivated = "Kickstand plugin p activated.";
const std::string kFailed = "Kickstand plugin p activation failed: ";
const std::string kStart = "executing start plugin: p";

/// What activating p logs: a JSON plugin running these start commands, or
/// a debug plugin whose command sleeps.
std::string ActivateP(testing_support::TestContext& test, bool json, const std::string& commands) {
  testing_support::WriteScratchFile("/j.json", R"({"metadata": {"version": 1, "requires": [],
      "provides": []}, "operations": {"start": [)" + commands + "]}}");
  kickstand::DebugPlugin debug(test.context, "p", {}, {}, "sleep 600");
  kickstand::JSONPlugin plugin(test.context, "p", testing_support::ScratchRoot() + "/j.json");
  testing::internal::CaptureStderr();
  (json ? static_cast<kickstand::Plugin&>(plugin) : debug).Activate();
  return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(Activation, EveryOutcomeOfTheStartOrAnInvokedMethodIsContained) {
  for (const Case& c : std::vector<Case>{
           {"", false, false, nullptr, {kStart}, kActivated},
           {"", true, false, [] { throw std::runtime_error("boom"); },
            {"starting execution of plugin: p", kStart,
             "unhandled exception whilst processing p: boom",
             "completed execution of plugin: p (took 1500 us)"},
            kFailed + "boom"},
           {"", false, false, [] { throw 7; },
            {kStart, "ignoring unknown exception whilst processing p ..."},
            kFailed + "unknown exception"},
           {"", false, false, [] { throw kickstand::MethodFailedException("start", "p", "why"); },
            {kStart, "Method invocation failed: p->start() failed: why"},
            kFailed + "p->start() failed: why"},
           // An invoked method's failures are all "Method invocation failed".
           {"restart", false, false, nullptr, {}, kActivated},
           {"apply_host_profile", false, true, nullptr, {"executing host profile plugin: p"},
            kActivated},
           {"apply_host_profile", false, false, nullptr,
            {"executing host profile plugin: p",
             "unable to invoke method 'apply_host_profile' on plugin 'p': method "
             "`TestPlugin::ApplyHostProfile' is not implemented"},
            kFailed + "Method invocation failed"},
           {"start", false, false, [] { throw kickstand::MethodFailedException("start", "p", "x"); },
            {kStart, "Method invocation failed: p->start() failed: x"},
            kFailed + "Method invocation failed"},
           {"start", false, false, [] { throw 1; },
            {kStart, "unknown exception whilst attempting to execute method 'start' on plugin 'p'"},
            kFailed + "Method invocation failed"}})
    Check(c);
}

// Past its deadline a plugin's child is ended (SIGKILL only when SIGTERM
// did not end it within the grace) and the activation fails as timed out,
// invoked or not; a JSON plugin's later commands do not run.
TEST(Activation, APluginStillRunningAtItsDeadlineIsEndedAndFailsAsTimedOut) {
  using Outcome = testing_support::FakeSpawner::Outcome;
  const Outcome kRunning{-1, ETIMEDOUT, 0};
  const struct {
    std::string method;
    std::deque<Outcome> waits;
    std::vector<std::pair<pid_t, int>> signals;
    std::vector<std::string> lines;  // none: the debug plugin runs
  } cases[] = {
      {"", {kRunning, {42, 0, SIGTERM}}, {{42, SIGTERM}}, {}},
      {"start", {kRunning, kRunning, {42, 0, SIGKILL}}, {{42, SIGTERM}, {42, SIGKILL}}, {}},
      {"", {}, {}, {"a", "hang"}},
  };
  for (const auto& c : cases) {
    testing_support::ClearScratchLogs();
    RunOptions options;
    options.method = c.method;
    options.pluginTimeout = 1;
    testing_support::TestContext test(options);
    test.hanging = "hang";
    test.spawner.outcomes = c.waits;
    EXPECT_EQ("executing start plugin: p\nplugin p timed out after 1 s\n",
              ActivateP(test, !c.lines.empty(), R"("a", "hang", "c")"));
    EXPECT_EQ(c.signals, test.spawner.signals);
    EXPECT_EQ(test.alerts, std::vector<std::string>{"Kickstand plugin p timed out after 1 s"});
    EXPECT_EQ(kFailed + "timed out after 1 s",
              SplitLines(testing_support::ReadScratchFile("/var/log/kernel.log")).back());
    EXPECT_EQ(c.lines, test.commandLines);
  }
}

// A signal while a plugin works: its child is ended as at a deadline, or its
// later commands are not sent; it fails as interrupted, raising no alert, and
// no plugin starts after it.
TEST(Activation, ASignalEndsTheWorkRunningAndNoPluginStartsAfterIt) {
  for (bool json : {false, true}) {
    testing_support::ClearScratchLogs();
    testing_support::TestContext test;
    test.interrupting = "a";
    test.spawner.onSpawn = [&] { test.interruption.Interrupt(SIGTERM); };
    test.spawner.outcomes = {{-1, ECONNRESET, 0}, {42, 0, SIGTERM}};
    testing_support::TestPlugin later(test, "later");
    EXPECT_EQ("executing start plugin: p\n", ActivateP(test, json, R"("a", "b")"));
    later.Activate();
    EXPECT_EQ(Signals(json ? 0 : 1, {42, SIGTERM}), test.spawner.signals);
    EXPECT_EQ(std::vector<std::string>(json ? 1 : 0, "a"), test.commandLines);
    EXPECT_EQ(std::vector<std::string>{}, test.alerts);
    EXPECT_EQ("Activating Kickstand plugin p.\n" + kFailed + "interrupted by SIGTERM\n",
              testing_support::ReadScratchFile("/var/log/kernel.log"));
    EXPECT_EQ(0, later.StartTime().tv_sec);
  }
}
