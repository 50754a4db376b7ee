#pragma once
#include "plugins/Console.h"

namespace kickstand {

/// The console of the host: standard input and output, whose terminal modes
/// live on descriptor 0, and the virtual consoles behind "/dev/console".
class SystemConsole : public Console {
 public:
  void SwitchConsole(int number) override;
  std::ostream& Output() override;
  int ReadChar() override;
  bool GetModes(termios& modes) override;
  bool SetModes(const termios& modes) override;
  void RunShell() override;
};

}  // namespace kickstand
