#include "platform/tessel/ProgramRun.h"
#include "platform/DefaultSignals.h"

#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace Tessel {
namespace AutoCli {
namespace {

/// posix_spawn returns the error number instead of setting errno.
int Spawn(const std::string& program, const std::vector<std::string>& arguments, pid_t& child) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  platform::DefaultSignals signals;
  int error = posix_spawn(&child, program.c_str(), &actions, signals.Attributes(), argv.data(),
                          environ);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

std::string DescribeStatus(const std::string& program, int status) {
  if (WIFEXITED(status))
    return WEXITSTATUS(status) == 0
               ? ""
               : program + " exited with status " + std::to_string(WEXITSTATUS(status));
  return program + " was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
         strsignal(WTERMSIG(status)) + ")";
}

}  // namespace

std::string RunProgramToEnd(const std::string& program,
                            const std::vector<std::string>& arguments) {
  pid_t child;
  if (int error = Spawn(program, arguments, child))
    return "cannot start " + program + ": " + strerror(error);
  int status;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR)
      return "lost " + program + " (process " + std::to_string(child) + "): " + strerror(errno);
  }
  return DescribeStatus(program, status);
}

}  // namespace AutoCli
}  // namespace Tessel
