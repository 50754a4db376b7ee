#include "platform/PosixSpawner.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

int AddFileActions(posix_spawn_file_actions_t& actions, const SpawnRequest& request) {
  int error = 0;
  if (request.directory >= 0)
    error = posix_spawn_file_actions_addfchdir_np(&actions, request.directory);
  for (const SpawnRequest::Open& open : request.opens) {
    if (error == 0)
      error = posix_spawn_file_actions_addopen(&actions, open.fd, open.path.c_str(), open.flags,
                                               open.mode);
  }
  for (const auto& [from, to] : request.dup2s) {
    if (error == 0)
      error = posix_spawn_file_actions_adddup2(&actions, from, to);
  }
  if (error == 0 && request.closeFrom >= 0)
    error = posix_spawn_file_actions_addclosefrom_np(&actions, request.closeFrom);
  return error;
}

int SetAttributes(posix_spawnattr_t& attributes, const SpawnRequest& request) {
  short flags = POSIX_SPAWN_SETSIGMASK;
  sigset_t none;
  sigemptyset(&none);
  int error = posix_spawnattr_setsigmask(&attributes, &none);
  if (request.defaultSigpipe && error == 0) {
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    error = posix_spawnattr_setsigdefault(&attributes, &defaults);
    flags |= POSIX_SPAWN_SETSIGDEF;
  }
  if (request.newProcessGroup && error == 0) {
    error = posix_spawnattr_setpgroup(&attributes, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  return error == 0 ? posix_spawnattr_setflags(&attributes, flags) : error;
}

/// posix_spawn's own error number, 0 on success.
int SpawnWith(pid_t* child, const SpawnRequest& request, char* const argv[]) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  int error = posix_spawn_file_actions_init(&actions);
  if (error != 0)
    return error;
  error = posix_spawnattr_init(&attributes);
  if (error == 0) {
    error = AddFileActions(actions, request);
    if (error == 0)
      error = SetAttributes(attributes, request);
    char** environment = request.environment ? request.environment : environ;
    if (error == 0)
      error = posix_spawn(child, argv[0] ? argv[0] : "", &actions, &attributes, argv, environment);
    posix_spawnattr_destroy(&attributes);
  }
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

/// Waits on a descriptor that becomes readable when the child ends; the
/// limit then costs no polling. -1 with ENOSYS where the kernel has none.
int OpenProcessDescriptor(pid_t child) {
  return static_cast<int>(syscall(SYS_pidfd_open, child, 0));
}

/// Milliseconds to the deadline, at least 0; -1 (for ever) without one.
int PollTimeout(const std::optional<std::chrono::steady_clock::time_point>& deadline) {
  if (!deadline)
    return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      *deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

/// Waits until the child ends, the limit passes (false, ETIMEDOUT) or the
/// peer of hangUp hangs up (false, ECONNRESET), whichever comes first.
bool WaitUntil(pid_t child, int* status, std::optional<std::chrono::milliseconds> limit,
               int hangUp) {
  int fd = OpenProcessDescriptor(child);
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (limit)
    deadline = std::chrono::steady_clock::now() + *limit;
  int error = ETIMEDOUT;
  for (;;) {
    pid_t result = waitpid(child, status, WNOHANG);
    if (result == child || (result < 0 && errno != EINTR)) {
      error = result == child ? 0 : errno;
      break;
    }
    int timeout = PollTimeout(deadline);
    if (timeout == 0)
      break;
    if (fd < 0)  // no process descriptors: look again every 10 ms
      timeout = timeout < 0 ? 10 : std::min(timeout, 10);
    pollfd ready[] = {{fd, POLLIN, 0}, {hangUp, 0, 0}};  // -1s are left out
    poll(ready, 2, timeout);
    if (ready[1].revents & (POLLHUP | POLLERR)) {
      error = ECONNRESET;
      break;
    }
  }
  if (fd >= 0)
    close(fd);
  errno = error;
  return error == 0;
}

}  // namespace

Spawner& Spawner::System() {
  static auto* spawner = new PosixSpawner();  // stateless; outlives every worker
  return *spawner;
}

pid_t PosixSpawner::Spawn(const SpawnRequest& request) {
  std::vector<char*> argv;
  for (const std::string& argument : request.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  int error = SpawnWith(&child, request, argv.data());
  if (error == 0)
    return child;
  errno = error;
  return -1;
}

pid_t PosixSpawner::TryWait(pid_t child, int* status) {
  return waitpid(child, status, WNOHANG);
}

bool PosixSpawner::Wait(pid_t child, int* status, std::optional<std::chrono::milliseconds> limit,
                        int hangUp) {
  if (limit || hangUp >= 0)
    return WaitUntil(child, status, limit, hangUp);
  pid_t result;
  while ((result = waitpid(child, status, 0)) < 0 && errno == EINTR) {
  }
  return result == child;
}

void PosixSpawner::Signal(pid_t child, int signal) {
  if (getpgid(child) == child)
    kill(-child, signal);
  else
    kill(child, signal);
}

// A group outlives its leader while any member runs, and its id cannot be
// taken by a new process meanwhile: signalling it reaches only what is left.
void PosixSpawner::EndRestOfGroup(pid_t group, std::chrono::milliseconds left) {
  auto deadline = std::chrono::steady_clock::now() + left;
  while (kill(-group, 0) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-group, SIGKILL);
      return;
    }
    usleep(10000);
  }
}

pid_t PosixSpawner::Fork() {
  pid_t child = fork();
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
  }
  return child;
}

}  // namespace platform
