#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include "core/RunOptions.h"
#include "plugins/Console.h"
#include "plugins/InteractivePrompt.h"
#include "support/HostTree.h"

namespace {

using kickstand::InteractivePrompt;
using testing_support::RunResult;
using Clock = std::chrono::steady_clock;

/// build/kickstand run on a pseudo-terminal, so a test can hold a console
/// dialogue with it. The host tree ends the program should it still run.
class Terminal {
 public:
  Terminal(const testing_support::HostTree& tree, const std::vector<std::string>& args) {
    int slave = -1;
    if (openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    // The output then holds exactly the bytes the program wrote.
    termios modes;
    tcgetattr(slave, &modes);
    modes.c_oflag &= ~ONLCR;
    tcsetattr(slave, TCSANOW, &modes);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    child_ = tree.Start(args, slave);
    close(slave);
  }
  ~Terminal() { close(master_); }

  /// Waits, 30 s at most, for the question about plugin after the last one
  /// and for the echo to be off, then types keys; false when none came.
  bool Answer(const std::string& plugin, const std::string& keys) {
    const std::string question = "current plugin: \033[36m" + plugin + "\n";
    termios modes;
    for (auto deadline = Clock::now() + std::chrono::seconds(30); Clock::now() < deadline;) {
      size_t found = output_.find(question, asked_);
      if (found != std::string::npos && tcgetattr(master_, &modes) == 0 &&
          !(modes.c_lflag & ECHO)) {
        asked_ = found + question.size();
        return write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
      }
      if (ReadSome(10) < 0)
        return false;
    }
    return false;
  }
  /// Waits, 60 s at most, for the program to end and close the terminal;
  /// the output then holds every byte written to it.
  RunResult Finish() {
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline && ReadSome(100) >= 0) {
    }
    kill(child_, SIGKILL);  // nothing to a program that has ended, as it should have
    int status = 0;
    waitpid(child_, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), false, output_, ""};
  }

 private:
  /// Bytes read; 0 when none came in time, -1 once the other side is gone.
  ssize_t ReadSome(int timeoutMs) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0)
      return 0;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0)
      output_.append(buffer, static_cast<size_t>(n));
    // EIO: every holder of the terminal's other side has gone.
    return n > 0 || errno == EINTR ? n : -1;
  }

  pid_t child_ = -1;
  int master_ = -1;
  std::string output_;
  size_t asked_ = 0;
};

const std::string kQuestion =
    "\033[35m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[33m(t)roubleshoot\033[0m\t\033[31m(s)kip\033[0m\033[?25l";
const std::string kExecuted =
    "\r\033[37m(c)ontinue\033[0m\t\033[32m(e)xecute\033[0m\t"
    "\033[37m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m";
const std::string kTroubleshoot = "\033[33m(t)roubleshoot\033[0m\t\033[37m(s)kip\033[0m\n";

// The questions start after p1, the last plugin waited for, and end with
// continue, before p6. The troubleshooting shell reads the lines typed
// after the t: the prompt reads no more than its answer.
TEST(InteractiveModeTest, EveryAnswerOnARealTerminal) {
  testing_support::HostTree tree;
  // Debug plugins p1 to p6 run one after the other; each writes its name.
  std::string conf;
  for (int i = 1; i <= 6; ++i)
    conf += "p" + std::to_string(i) + ":b" + std::to_string(i - 1) + ":b" + std::to_string(i) +
            ":echo p" + std::to_string(i) + " >> " + tree.Path("/ran") + "\n";
  tree.Write("/etc/halvex/kickstand/debug.conf", conf);
  Terminal terminal(tree, {"--interactive", "--interactive-mode-requires=p1",
                           "--plugin-timeout=1"});
  ASSERT_TRUE(terminal.Answer("p2", "xE"));
  ASSERT_TRUE(terminal.Answer("p3", "s"));
  ASSERT_TRUE(terminal.Answer("p4", "techo shell-$((6 * 7))\nexit\n"));
  usleep(1500000);  // p5's question stays open past its time limit, which it does not count
  ASSERT_TRUE(terminal.Answer("p5", "c"));
  RunResult result = terminal.Finish();

  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_NE(std::string::npos,
            result.out.find("info: skipping plugin p3 (interactive mode request)\n"));
  // The shell's answer after the choice, and the line cleared after the shell.
  size_t answer = result.out.find("shell-42\n", result.out.find(kTroubleshoot));
  EXPECT_NE(std::string::npos, result.out.find("\033[2K", answer)) << result.out;
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
