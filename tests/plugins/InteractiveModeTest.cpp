#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "support/HostTree.h"
#include "support/TerminalRun.h"

using testing_support::HostTree;
using testing_support::RunResult;
using testing_support::TerminalRun;

namespace {

const std::string kQuestion =
    "\033[35m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[33m(t)roubleshoot\033[0m\t\033[31m(s)kip\033[0m\033[?25l";
const std::string kExecuted =
    "\r\033[37m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[37m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m";
const std::string kTroubleshoot =
    "\r\033[37m(c)ontinue\033[0m\t\033[37m(e)xecute\033[0m\t"
    "\033[33m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m";

/// Three debug plugins run in the order p1, p2, p3; each leaves a marker.
class InteractiveModeTest : public testing::Test {
 protected:
  void SetUp() override {
    tree.Write("/etc/halvex/kickstand/debug.conf",
               "p1: :b1:touch " + tree.Path("/p1.ran") + "\n" +
               "p2:b1:b2:touch " + tree.Path("/p2.ran") + "\n" +
               "p3:b2: :touch " + tree.Path("/p3.ran") + "\n");
  }

  std::string PluginsRun() const {
    std::string run;
    for (std::string plugin : {"p1", "p2", "p3"})
      run += tree.Exists("/" + plugin + ".ran") ? plugin : "";
    return run;
  }
  std::vector<std::string> Arguments() const {
    return {"--interactive", "--plugin-directory=" + tree.Path("/usr/libexec/kickstand/plugins")};
  }

  /// Waits for the question about plugin and types the keys.
  void Answer(TerminalRun& run, const std::string& plugin, const std::string& keys) {
    ASSERT_TRUE(run.WaitFor("current plugin: \033[36m" + plugin + "\n")) << plugin;
    ASSERT_TRUE(run.WaitForEchoOff()) << plugin;
    run.Type(keys);
  }

  HostTree tree;
};

TEST_F(InteractiveModeTest, ExecuteSkipAndTroubleshoot) {
  TerminalRun run(tree, Arguments());
  Answer(run, "p1", "xE");
  Answer(run, "p2", "s");
  Answer(run, "p3", "t");
  ASSERT_TRUE(run.WaitFor(kTroubleshoot));
  run.Type("echo shell-$((6 * 7))\nexit\n");
  RunResult result = run.Finish();

  EXPECT_EQ(0, result.status) << result.out;
  // x and E are not echoed between hiding and showing the cursor.
  EXPECT_NE(std::string::npos, result.out.find("current plugin: \033[36mp1\n" + kQuestion +
                                               "\033[?25h" + kExecuted + "\n"));
  EXPECT_NE(std::string::npos,
            result.out.find("info: skipping plugin p2 (interactive mode request)\n"));
  size_t shell = result.out.find(kTroubleshoot + "\n");
  size_t answer = result.out.find("shell-42\n", shell);
  EXPECT_NE(std::string::npos, answer) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("\033[2K", answer)) << result.out;
  EXPECT_EQ("p1p3", PluginsRun());
  std::string kernelLog = tree.Read("/var/log/kernel.log");
  EXPECT_NE(std::string::npos, kernelLog.find("Kickstand plugin p3 activated."));
  EXPECT_EQ(std::string::npos, kernelLog.find("p2"));
}

TEST_F(InteractiveModeTest, ContinueStopsAsking) {
  TerminalRun run(tree, Arguments());
  Answer(run, "p1", "c");
  RunResult result = run.Finish();

  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_EQ(std::string::npos, result.out.find("current plugin: \033[36mp2"));
  EXPECT_EQ("p1p2p3", PluginsRun());
}

}  // namespace
