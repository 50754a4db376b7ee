#include "core/Process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/ExitStatus.h"
#include "platform/Log.h"
#include "platform/Spawner.h"

namespace kickstand {
namespace {

void RedirectStdin() {
  int null = open("/dev/null", O_RDWR);
  if (null < 0) {
    Warning("Failed opening /dev/null");
    return;
  }
  if (dup2(null, fileno(stdin)) < 0)
    Warning("Failed redirecting stdin to /dev/null");
  close(null);
}

}  // namespace

void RedirectStdio(const char* path) {
  RedirectStdin();
  int log = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (log < 0) {
    Warning("Failed opening log file %s", path);
    return;
  }
  if (dup2(log, fileno(stdout)) != fileno(stdout))
    Warning("Failed redirecting stdout to %s", path);
  if (dup2(log, fileno(stderr)) != fileno(stderr))
    Warning("Failed redirecting stderr to %s", path);
  close(log);
}

bool RunProgram(char* const argv[], char* const envp[]) {
  platform::SpawnRequest request;
  for (char* const* argument = argv; *argument; ++argument)
    request.arguments.push_back(*argument);
  request.environment = const_cast<char**>(envp);
  const int append = O_WRONLY | O_CREAT | O_APPEND;
  request.opens = {{0, "/dev/null", O_RDWR, 0}, {1, "/dev/null", append, 0644},
                   {2, "/dev/null", append, 0644}};
  request.closeFrom = STDERR_FILENO + 1;
  platform::Spawner& spawner = platform::Spawner::System();
  pid_t child = spawner.Spawn(request);
  if (child < 0) {
    Log_Level(2, "execve(%s) failure: %s\n", argv[0], strerror(errno));
    return false;
  }
  int status = 0;
  return spawner.Wait(child, &status) && platform::ExitStatus(status).Succeeded();
}

bool WaitBefore(platform::Spawner& spawner, pid_t child, const Deadline& deadline, int* status) {
  if (spawner.Wait(child, status, deadline.Left(), deadline.Watch()))
    return true;
  if (errno != ETIMEDOUT && errno != ECONNRESET)
    return false;
  spawner.End(child, status);
  deadline.Reached();
}

int RunShellCommand(platform::Spawner& spawner, const std::string& command,
                    const Deadline& deadline) {
  platform::SpawnRequest request;
  request.arguments = {"/bin/sh", "-c", command};
  request.newProcessGroup = true;
  request.defaultSigpipe = false;  // as the C library's system leaves it
  pid_t child = spawner.Spawn(request);
  int status = -1;
  if (child < 0 || !WaitBefore(spawner, child, deadline, &status))
    return -1;
  return status;
}

}  // namespace kickstand
