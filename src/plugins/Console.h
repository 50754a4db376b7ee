#pragma once
#include <iosfwd>
#include <termios.h>

namespace kickstand {

/// The operator's terminal as the interactive prompt uses it; tests put a
/// scripted one in its place.
class Console {
 public:
  virtual ~Console() = default;

  /// Makes virtual console number the active one, where the host has them.
  virtual void SwitchConsole(int number) = 0;
  virtual std::ostream& Output() = 0;
  /// The next character typed; EOF at end of input.
  virtual int ReadChar() = 0;
  virtual bool GetModes(termios& modes) = 0;
  virtual bool SetModes(const termios& modes) = 0;
  /// Runs a troubleshooting shell on the terminal until the operator leaves it.
  virtual void RunShell() = 0;
};

}  // namespace kickstand
