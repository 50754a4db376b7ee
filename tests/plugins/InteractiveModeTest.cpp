// The prompt on a scripted console; a whole run answering every question on
// a real terminal is interactive_mode.py's.
#include <sstream>
#include <termios.h>
#include <gtest/gtest.h>

#include "core/RunOptions.h"
#include "plugins/Console.h"
#include "plugins/InteractivePrompt.h"

namespace {

using kickstand::InteractivePrompt;

const std::string kQuestion =
    "\033[35m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[33m(t)roubleshoot\033[0m\t\033[31m(s)kip\033[0m\033[?25l";
const std::string kExecuted =
    "\r\033[37m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[37m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m";
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
  console.modesReadable = false;
  EXPECT_EQ(InteractivePrompt::Proceed, console.Step("a", "x"));
  EXPECT_EQ("current plugin: \033[36ma\n" + kQuestion + "\033[?25h" + kExecuted + "\n",
            console.output.str());
  EXPECT_TRUE(console.writtenModes.empty());
  console.modesReadable = true;
  console.Step("b", "c");
  EXPECT_EQ((std::vector<tcflag_t>{ISIG, ICANON | ECHO | ISIG}), console.writtenModes);
  EXPECT_EQ((std::vector<int>{1, 1, 11}), console.switches);
}

}  // namespace
