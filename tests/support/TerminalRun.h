#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/HostTree.h"

namespace testing_support {

/// build/kickstand run on a pseudo-terminal, so a test can hold a console
/// dialogue with it. Kills the program on destruction if it still runs.
class TerminalRun {
 public:
  TerminalRun(const HostTree& tree, const std::vector<std::string>& args);
  ~TerminalRun();
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  /// Reads until text appears after the last text waited for; false when
  /// it has not come within timeoutSeconds or the program has ended.
  bool WaitFor(const std::string& text, int timeoutSeconds = 30);
  /// Waits until the program has turned the terminal's echo off.
  bool WaitForEchoOff(int timeoutSeconds = 30);
  void Type(const std::string& keys);
  /// Waits for the end of the program; the output then holds every byte it
  /// wrote to the terminal.
  RunResult Finish(int timeoutSeconds = 60);

 private:
  /// Bytes read; 0 when none came in time, -1 once the other side is gone.
  ssize_t ReadSome(int timeoutMs);

  pid_t child_ = -1;
  int master_ = -1;
  std::string output_;
  size_t matched_ = 0;
};

}  // namespace testing_support
