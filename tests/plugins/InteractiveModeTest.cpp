#include <cstdio>
#include <unistd.h>
#include <sstream>
#include <gtest/gtest.h>

#include "core/RunOptions.h"
#include "plugins/Console.h"
#include "plugins/InteractivePrompt.h"
#include "support/HostTree.h"
#include "support/TerminalRun.h"

namespace {

using kickstand::InteractivePrompt;
using testing_support::RunResult;
using testing_support::TerminalRun;

const std::string kQuestion =
    "\033[35m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[33m(t)roubleshoot\033[0m\t\033[31m(s)kip\033[0m\033[?25l";
const std::string kExecuted =
    "\r\033[37m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[37m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m";
const std::string kTroubleshoot = "\033[33m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m\n";

/// Waits for the question about plugin and types the keys.
void Answer(TerminalRun& run, const std::string& plugin, const std::string& keys) {
  ASSERT_TRUE(run.WaitFor("current plugin: \033[36m" + plugin + "\n")) << plugin;
  ASSERT_TRUE(run.WaitForEchoOff()) << plugin;
  run.Type(keys);
}

TEST(InteractiveModeTest, EveryAnswerOnARealTerminal) {
  testing_support::HostTree tree;
  // Debug plugins p1 to p6 run one after the other; each writes its name.
  std::string conf;
  for (int i = 1; i <= 6; ++i)
    conf += "p" + std::to_string(i) + ":b" + std::to_string(i - 1) + ":b" + std::to_string(i) +
            ":echo p" + std::to_string(i) + " >> " + tree.Path("/ran") + "\n";
  tree.Write("/etc/halvex/kickstand/debug.conf", conf);
  // The questions start after p1, the last plugin waited for.
  TerminalRun run(tree, {"--interactive", "--interactive-mode-requires=p1", "--plugin-timeout=1",
                         "--plugin-directory=" + tree.Path("/usr/libexec/kickstand/plugins")});
  Answer(run, "p2", "xE");
  Answer(run, "p3", "s");
  Answer(run, "p4", "t");
  ASSERT_TRUE(run.WaitFor(kTroubleshoot));
  run.Type("echo shell-$((6 * 7))\nexit\n");
  usleep(1500000);  // p5's question stays open past its time limit, which it does not count
  Answer(run, "p5", "c");
  RunResult result = run.Finish();

  EXPECT_EQ(0, result.status) << result.out;
  // x and E are not echoed between hiding and showing the cursor.
  EXPECT_NE(std::string::npos, result.out.find("current plugin: \033[36mp2\n" + kQuestion +
                                               "\033[?25h" + kExecuted + "\n"));
  EXPECT_NE(std::string::npos,
            result.out.find("info: skipping plugin p3 (interactive mode request)\n"));
  size_t answer = result.out.find("shell-42\n", result.out.find(kTroubleshoot));
  EXPECT_NE(std::string::npos, answer) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("\033[2K", answer)) << result.out;
  for (std::string unasked : {"p1", "p6"})
    EXPECT_EQ(std::string::npos, result.out.find("current plugin: \033[36m" + unasked));
  EXPECT_EQ("p1\np2\np4\np5\np6\n", tree.Read("/ran"));
  std::string kernelLog = tree.Read("/var/log/kernel.log");
  EXPECT_NE(std::string::npos, kernelLog.find("Kickstand plugin p4 activated.\nActivating "
                                              "Kickstand plugin p5.\nKickstand plugin p5 activated."));
  EXPECT_EQ(std::string::npos, kernelLog.find("p3"));
}

class ScriptedConsole : public kickstand::Console {
 public:
  void SwitchConsole(int number) override { switches.push_back(number); }
  std::ostream& Output() override { return output; }
  int ReadChar() override { return typed.get(); }
  bool GetModes(termios& m) override { m.c_lflag = ICANON | ECHO | ISIG; return modesReadable; }
  bool SetModes(const termios& m) override { writtenModes.push_back(m.c_lflag); return true; }
  void RunShell() override {}
  InteractivePrompt::Outcome Step(const std::string& name, const std::string& keys) {
    typed = std::istringstream(keys);
    return InteractivePrompt(*this, options).Step(name);
  }

  kickstand::RunOptions options;
  std::istringstream typed;
  std::ostringstream output;
  std::vector<int> switches;
  bool modesReadable = true;
  std::vector<tcflag_t> writtenModes;
};

TEST(InteractivePromptTest, EndOfInputExecutesAndOnlyReadModesAreWrittenBack) {
  ScriptedConsole console;
  console.options.interactive = true;
  console.modesReadable = false;
  EXPECT_EQ(InteractivePrompt::Proceed, console.Step("a", "x"));
  EXPECT_NE(std::string::npos, console.output.str().find(kExecuted + "\n"));
  EXPECT_TRUE(console.writtenModes.empty());
  console.modesReadable = true;
  console.Step("b", "c");
  EXPECT_EQ((std::vector<tcflag_t>{ISIG, ICANON | ECHO | ISIG}), console.writtenModes);
  EXPECT_EQ((std::vector<int>{1, 1, 11}), console.switches);
  EXPECT_FALSE(console.options.interactive);
}

}  // namespace
