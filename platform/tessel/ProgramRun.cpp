#include "platform/tessel/ProgramRun.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "platform/ExitStatus.h"
#include "platform/Spawner.h"

namespace Tessel {
namespace AutoCli {
namespace {

const platform::ExitStatus::Words kWords{" exited with status ", " was killed by signal ",
                                         " ended without an exit status", true};

}  // namespace

std::optional<std::string> RunProgramToEnd(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           int client) {
  platform::SpawnRequest request;
  request.arguments.push_back(program);
  request.arguments.insert(request.arguments.end(), arguments.begin(), arguments.end());
  request.opens.push_back({0, "/dev/null", O_RDONLY, 0});
  request.newProcessGroup = true;
  platform::Spawner& spawner = platform::Spawner::System();
  pid_t child = spawner.Spawn(request);
  if (child < 0)
    return "cannot start " + program + ": " + strerror(errno);
  int status = 0;
  if (!spawner.Wait(child, &status, std::nullopt, client)) {
    if (errno != ECONNRESET)
      return "lost " + program + " (process " + std::to_string(child) + "): " + strerror(errno);
    spawner.End(child, &status);
    return program + " was ended: its client closed the connection";
  }
  std::optional<std::string> failure = platform::ExitStatus(status).Failure(kWords);
  if (failure)
    return program + *failure;
  return std::nullopt;
}

}  // namespace AutoCli
}  // namespace Tessel
