#include "plugins/InteractivePrompt.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

#include "driver/RunOptions.h"
#include "plugins/Console.h"

using kickstand::InteractivePrompt;

namespace {

class ScriptedConsole : public kickstand::Console {
 public:
  void SwitchConsole(int number) override { switches.push_back(number); }
  std::ostream& Output() override { return output; }
  int ReadChar() override { return next < typed.size() ? typed[next++] : EOF; }
  bool GetModes(termios& modes) override {
    modes = termios{};
    modes.c_lflag = ICANON | ECHO | ISIG;
    return modesReadable;
  }
  bool SetModes(const termios& modes) override {
    writtenModes.push_back(modes.c_lflag);
    return true;
  }
  void RunShell() override {}

  std::string typed;
  size_t next = 0;
  std::ostringstream output;
  std::vector<int> switches;
  bool modesReadable = true;
  std::vector<tcflag_t> writtenModes;
};

class InteractivePromptTest : public testing::Test {
 protected:
  void SetUp() override {
    options.interactive = true;
    options.interactiveModeRequires.clear();
  }
  InteractivePrompt::Outcome Answer(const std::string& name, const std::string& typed) {
    console.typed = typed;
    console.next = 0;
    return prompt.Step(name);
  }

  kickstand::RunOptions& options = kickstand::RunOptions::Instance();
  ScriptedConsole console;
  InteractivePrompt prompt{console, options};
};

TEST_F(InteractivePromptTest, EndOfInputExecutesAndOnlyReadModesAreWritten) {
  console.modesReadable = false;
  EXPECT_EQ(InteractivePrompt::Proceed, Answer("p1", "x"));
  EXPECT_NE(std::string::npos, console.output.str().find("\r\033[37m(c)ontinue\033[0m\t\033[32m"));
  EXPECT_TRUE(console.writtenModes.empty());
  console.modesReadable = true;
  Answer("p2", "e");
  EXPECT_EQ((std::vector<tcflag_t>{ISIG, ICANON | ECHO | ISIG}), console.writtenModes);
  EXPECT_TRUE(options.interactive);
}

TEST_F(InteractivePromptTest, RequiresListDelaysTheFirstQuestion) {
  options.interactiveModeRequires = {"a", "b"};
  Answer("a", "s");
  Answer("unlisted", "s");
  EXPECT_TRUE(console.switches.empty());
  EXPECT_EQ(InteractivePrompt::Proceed, Answer("b", "s"));
  EXPECT_EQ(std::vector<int>{1}, console.switches);
  EXPECT_EQ("", console.output.str());
  EXPECT_EQ(InteractivePrompt::Skip, Answer("c", "s"));
  Answer("d", "c");
  EXPECT_EQ((std::vector<int>{1, 1, 1, 11}), console.switches);
  EXPECT_FALSE(options.interactive);
}

}  // namespace
