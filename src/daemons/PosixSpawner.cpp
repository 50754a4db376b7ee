#include "daemons/PosixSpawner.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/DefaultSignals.h"

namespace kickstand {
namespace {

int AddFileActions(posix_spawn_file_actions_t& actions, const SpawnRequest& request) {
  int error = posix_spawn_file_actions_addfchdir_np(&actions, request.directory);
  for (int fd = 0; fd < 3 && error == 0; ++fd)
    error = posix_spawn_file_actions_adddup2(&actions, request.stdio[fd], fd);
  if (error == 0)
    error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  return error;
}

int SpawnWithActions(pid_t& child, const SpawnRequest& request, std::vector<char*>& argv) {
  posix_spawn_file_actions_t actions;
  int error = posix_spawn_file_actions_init(&actions);
  if (error != 0)
    return error;
  error = AddFileActions(actions, request);
  char** environment = request.environment ? request.environment : environ;
  if (error == 0)
    error = posix_spawn(&child, argv[0] ? argv[0] : "", &actions,
                        platform::DefaultSignals().Attributes(), argv.data(), environment);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

}  // namespace

PosixSpawner& PosixSpawner::Instance() {
  static auto* instance = new PosixSpawner();
  return *instance;
}

pid_t PosixSpawner::Spawn(const SpawnRequest& request) {
  std::vector<char*> argv;
  for (const std::string& argument : request.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  int error = SpawnWithActions(child, request, argv);
  if (error == 0)
    return child;
  errno = error;
  return -1;
}

pid_t PosixSpawner::TryWait(pid_t child, int* status) {
  return waitpid(child, status, WNOHANG);
}

void PosixSpawner::Sleep(unsigned microseconds) { usleep(microseconds); }

}  // namespace kickstand
