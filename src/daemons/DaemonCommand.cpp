#include "daemons/DaemonCommand.h"

#include <cerrno>
#include <cstring>
#include <sstream>
#include <sys/wait.h>

#include "daemons/DaemonDescriptors.h"
#include "daemons/Spawner.h"
#include "util/Exception.h"

namespace kickstand {
namespace {

const unsigned kTickMicroseconds = 10000;

std::string FailurePrefix(const std::string& commandLine) {
  return "Execution of command: " + commandLine + " failed";
}

}  // namespace

DaemonCommand::DaemonCommand(Spawner& spawner, bool wait, uint32_t waitTimeout)
    : spawner_(spawner), wait_(wait), budget_(TickBudget(wait, waitTimeout)) {}

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
  std::string failure = Execute(commandLine, environment);
  if (!failure.empty())
    throw Exception(failure);
}

std::string DaemonCommand::Execute(const std::string& commandLine, char** environment) {
  DaemonDescriptors descriptors;
  SpawnRequest request;
  request.arguments = SplitWords(commandLine);
  request.environment = environment;
  request.directory = descriptors.Root();
  request.stdio[0] = descriptors.Null();
  request.stdio[1] = descriptors.Null();
  request.stdio[2] = descriptors.Log();
  pid_t child = spawner_.Spawn(request);
  if (child < 0)
    return "failed to ForkExec '" + commandLine + "' : " + strerror(errno);
  return Poll(child, commandLine);
}

// The budget is tested before it is spent, so a zero budget ends at the
// first poll instead of wrapping round to four billion ticks.
std::string DaemonCommand::Poll(pid_t child, const std::string& commandLine) {
  uint32_t budget = budget_;
  for (;;) {
    int status = 0;
    pid_t result = spawner_.TryWait(child, &status);
    if (result < 0 && errno == EINTR)
      continue;
    if (result != 0)
      return result < 0 ? FailurePrefix(commandLine) + " <unknown_error>"
                        : Judge(status, commandLine);
    if (budget == 0)
      break;
    spawner_.Sleep(kTickMicroseconds);
    if (--budget == 0)
      break;
  }
  return wait_ ? "Execution of command: '" + commandLine + "' timed out." : "";
}

std::string DaemonCommand::Judge(int status, const std::string& commandLine) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return "";
  if (WIFEXITED(status))
    return FailurePrefix(commandLine) + " with status: " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return FailurePrefix(commandLine) + " with signal: " + std::to_string(WTERMSIG(status));
  return FailurePrefix(commandLine) + " <unknown_error>";
}

}  // namespace kickstand
