#include <functional>
#include <gtest/gtest.h>
#include <boost/filesystem.hpp>

#include "driver/RunOptions.h"
#include "plugins/Plugin.h"
#include "support/HostTree.h"
#include "support/ScratchRoot.h"
#include "util/Exception.h"

using kickstand::RunOptions;
using testing_support::ScratchRoot;
using testing_support::SplitLines;

namespace {

class FakePlugin : public kickstand::Plugin {
 public:
  explicit FakePlugin(const std::string& name) : Plugin(name) {}
  void Start() override { record += "start "; if (start) start(); }
  bool SupportsHostProfile() override { return hostProfile; }
  void ApplyHostProfile() override {
    record += "profile ";
    if (!hostProfile) throw kickstand::NotImplementedException("FakePlugin::ApplyHostProfile");
  }

  std::function<void()> start;
  bool hostProfile = false;
  std::string record;
};

class Activation : public ::testing::Test {
 protected:
  void SetUp() override {
    ScratchRoot();
    testing_support::ClearScratchLogs();
    saved_ = RunOptions::Instance();
  }
  void TearDown() override { RunOptions::Instance() = saved_; }

  /// Activates the plugin and returns what it logged.
  std::string Activate(FakePlugin& plugin) {
    testing::internal::CaptureStderr();
    plugin.Activate();
    return testing::internal::GetCapturedStderr();
  }
  std::vector<std::string> KernelLog() {
    return SplitLines(Read("/var/log/kernel.log"));
  }
  std::string Read(const std::string& hostPath) {
    std::ifstream file(ScratchRoot() + hostPath);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  RunOptions saved_ = RunOptions::Instance();
};

}  // namespace

TEST_F(Activation, SuccessWritesBothKernelLinesAndTimesTheWork) {
  FakePlugin plugin("p");
  std::string log = Activate(plugin);
  EXPECT_EQ(plugin.record, "start ");
  EXPECT_EQ(KernelLog(), (std::vector<std::string>{"Activating Kickstand plugin p.",
                                                   "Kickstand plugin p activated."}));
  EXPECT_EQ(log, "executing start plugin: p\n");
  EXPECT_GE(plugin.DurationUs(), 0);
  EXPECT_GT(plugin.StartTime().tv_sec, 0);
}

TEST_F(Activation, TraceLogsStartAndCompletion) {
  RunOptions::Instance().trace = true;
  FakePlugin plugin("p");
  plugin.start = [] { throw std::runtime_error("boom"); };
  std::vector<std::string> lines = SplitLines(Activate(plugin));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "starting execution of plugin: p");
  EXPECT_EQ(lines[2], "unhandled exception whilst processing p: boom");
  EXPECT_EQ(lines[3].rfind("completed execution of plugin: p (took ", 0), 0u);
  EXPECT_EQ(KernelLog().back(), "Kickstand plugin p activation failed: boom");
}

TEST_F(Activation, EveryFailureKindIsContained) {
  struct Case {
    std::function<void()> start;
    std::string log;
    std::string kernel;
  };
  std::vector<Case> cases{
      {[] { throw 7; }, "ignoring unknown exception whilst processing p ...",
       "Kickstand plugin p activation failed: unknown exception"},
      {[] { throw kickstand::MethodFailedException("start", "p", "why"); },
       "Method invocation failed: p->start() failed: why",
       "Kickstand plugin p activation failed: p->start() failed: why"}};
  for (const Case& c : cases) {
    testing_support::ClearScratchLogs();
    FakePlugin plugin("p");
    plugin.start = c.start;
    EXPECT_NE(Activate(plugin).find(c.log), std::string::npos) << c.log;
    EXPECT_EQ(KernelLog().back(), c.kernel);
  }
}

TEST_F(Activation, InvokedMethods) {
  struct Case {
    std::string method;
    bool hostProfile;
    std::function<void()> start;
    std::string record;
    std::string log;
    std::string kernel;
  };
  std::vector<Case> cases{
      {"restart", false, nullptr, "", "", "Kickstand plugin p activated."},
      {"apply_host_profile", true, nullptr, "profile ", "executing host profile plugin: p",
       "Kickstand plugin p activated."},
      {"apply_host_profile", false, nullptr, "profile ",
       "unable to invoke method 'apply_host_profile' on plugin 'p': method "
       "`FakePlugin::ApplyHostProfile' is not implemented",
       "Kickstand plugin p activation failed: Method invocation failed"},
      {"start", false, [] { throw kickstand::MethodFailedException("start", "p", "x"); },
       "start ", "Method invocation failed: p->start() failed: x",
       "Kickstand plugin p activation failed: Method invocation failed"},
      {"start", false, [] { throw 1; }, "start ",
       "unknown exception whilst attempting to execute method 'start' on plugin 'p'",
       "Kickstand plugin p activation failed: Method invocation failed"}};
  for (const Case& c : cases) {
    testing_support::ClearScratchLogs();
    RunOptions::Instance().method = c.method;
    FakePlugin plugin("p");
    plugin.hostProfile = c.hostProfile;
    plugin.start = c.start;
    std::string log = Activate(plugin);
    EXPECT_EQ(plugin.record, c.record) << c.method;
    EXPECT_NE(log.find(c.log), std::string::npos) << c.log << " in " << log;
    EXPECT_EQ(KernelLog().back(), c.kernel) << c.method;
  }
}

TEST_F(Activation, HostProfileIsLookedUpOnceAndCompressedFileCounts) {
  FakePlugin without("a");
  without.hostProfile = true;
  Activate(without);
  EXPECT_EQ(without.record, "start ");
  boost::filesystem::create_directories(ScratchRoot() + "/etc/halvex");
  std::ofstream(ScratchRoot() + "/etc/halvex/hostprofile.xml.gz") << "x";
  FakePlugin later("b");
  later.hostProfile = true;
  Activate(later);
  EXPECT_EQ(later.record, "start ");
  boost::filesystem::remove(ScratchRoot() + "/etc/halvex/hostprofile.xml.gz");
}

// The host profile decision is made once per process; this run of the
// program finds only the compressed file.
TEST(ActivationRun, CompressedHostProfileSelectsApplyHostProfile) {
  testing_support::HostTree tree;
  tree.Write("/etc/halvex/hostprofile.xml.gz", "x");
  tree.Write("/usr/libexec/kickstand/plugins/hp.json",
             R"({"metadata": {"version": 2, "requires": [], "provides": []},
                 "operations": {"start": ["#start"], "apply_host_profile": []}})");
  auto run = tree.Run({});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.Logged("info: executing host profile plugin: hp")) << run.out;
}
