#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {
class Spawner;
}

namespace kickstand {

class Clock;
class Interruption;

/// Runs one daemon command line detached from the terminal and decides by
/// polling every 10 ms whether it succeeded, failed or timed out. Without
/// waiting, a command still running after 10 s counts as a started daemon
/// and is left running; with waiting it must exit 0 within the timeout.
/// An interruption of the run ends the polling as the budget's end does,
/// and the command is left alone.
class DaemonCommand {
 public:
  DaemonCommand(platform::Spawner& spawner, const Clock& clock, bool wait, uint32_t waitTimeout,
                const Interruption* interruption = nullptr);

  /// Throws kickstand::Exception with the failure text.
  void Run(const std::string& commandLine, char** environment);

  /// Ticks of 10 ms the command is given; unsigned 32-bit arithmetic.
  static uint32_t TickBudget(bool wait, uint32_t waitTimeout);
  /// Words separated by runs of white space; no quoting, no escapes.
  static std::vector<std::string> SplitWords(const std::string& commandLine);

 private:
  std::optional<std::string> Execute(const std::string& commandLine, char** environment);
  std::optional<std::string> Poll(pid_t child, const std::string& commandLine);
  static std::optional<std::string> Judge(int status, const std::string& commandLine);

  platform::Spawner& spawner_;
  const Clock& clock_;
  bool wait_;
  uint32_t budget_;
  const Interruption* interruption_;
};

}  // namespace kickstand
