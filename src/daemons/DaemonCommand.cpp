#include "daemons/DaemonCommand.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "core/Clock.h"
#include "daemons/DaemonDescriptors.h"
#include "platform/ExitStatus.h"
#include "platform/Spawner.h"
#include "util/Exception.h"
#include "util/Interruption.h"

namespace kickstand {
namespace {

const unsigned kTickMicroseconds = 10000;

std::string FailurePrefix(const std::string& commandLine) {
  return "Execution of command: " + commandLine + " failed";
}

}  // namespace

DaemonCommand::DaemonCommand(platform::Spawner& spawner, const Clock& clock, bool wait,
                             uint32_t waitTimeout, const Interruption* interruption)
    : spawner_(spawner),
      clock_(clock),
      wait_(wait),
      budget_(TickBudget(wait, waitTimeout)),
      interruption_(interruption) {}

uint32_t DaemonCommand::TickBudget(bool wait, uint32_t waitTimeout) {
  return wait ? (waitTimeout * 1000u + 9u) / 10u : 1000u;
}

std::vector<std::string> DaemonCommand::SplitWords(const std::string& commandLine) {
  std::istringstream in(commandLine);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

void DaemonCommand::Run(const std::string& commandLine, char** environment) {
  if (std::optional<std::string> failure = Execute(commandLine, environment))
    throw Exception(*failure);
}

std::optional<std::string> DaemonCommand::Execute(const std::string& commandLine,
                                                  char** environment) {
  DaemonDescriptors descriptors;
  platform::SpawnRequest request;
  request.arguments = SplitWords(commandLine);
  request.environment = environment;
  request.directory = descriptors.Root();
  request.dup2s = {{descriptors.Null(), 0}, {descriptors.Null(), 1}, {descriptors.Log(), 2}};
  request.closeFrom = 3;
  pid_t child = spawner_.Spawn(request);
  if (child < 0)
    return "failed to ForkExec '" + commandLine + "' : " + strerror(errno);
  return Poll(child, commandLine);
}

// The budget is tested before it is spent, so a zero budget ends at the
// first poll instead of wrapping round to four billion ticks.
std::optional<std::string> DaemonCommand::Poll(pid_t child, const std::string& commandLine) {
  uint32_t budget = budget_;
  for (;;) {
    int status = 0;
    pid_t result = spawner_.TryWait(child, &status);
    if (result < 0 && errno == EINTR)
      continue;
    if (result < 0)
      return FailurePrefix(commandLine) + " <unknown_error>";
    if (result != 0)
      return Judge(status, commandLine);
    if (budget == 0 || (interruption_ && interruption_->Interrupted()))
      break;
    clock_.Sleep(kTickMicroseconds);
    if (--budget == 0)
      break;
  }
  if (wait_)
    return "Execution of command: '" + commandLine + "' timed out.";
  return std::nullopt;
}

std::optional<std::string> DaemonCommand::Judge(int status, const std::string& commandLine) {
  static const platform::ExitStatus::Words kWords{" with status: ", " with signal: ",
                                                  " <unknown_error>"};
  if (std::optional<std::string> failure = platform::ExitStatus(status).Failure(kWords))
    return FailurePrefix(commandLine) + *failure;
  return std::nullopt;
}

}  // namespace kickstand
