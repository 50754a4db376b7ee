#include "core/Process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Log.h"

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

void CloseInheritedDescriptors() {
  if (close_range(STDERR_FILENO + 1, ~0U, 0) == 0)
    return;  // one call instead of a loop over a limit that may be a million
  long limit = sysconf(_SC_OPEN_MAX);
  for (long fd = 0; fd < limit; ++fd) {
    if (fd > STDERR_FILENO)
      close(static_cast<int>(fd));
  }
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
  pid_t child = fork();
  if (child < 0)
    return false;
  if (child == 0) {
    CloseInheritedDescriptors();
    RedirectStdio("/dev/null");
    execve(argv[0], argv, envp);
    Log_Level(2, "execve(%s) failure: %s\n", argv[0], strerror(errno));
    _exit(1);
  }
  int status = 0;
  if (waitpid(child, &status, 0) < 0)
    return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kickstand
