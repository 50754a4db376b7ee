#include "plugins/RunNativeExecutor.h"

#include <sys/wait.h>

#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/OzkuserCompat.h"
#include "util/Exception.h"

namespace kickstand {
namespace {

std::string StatusText(int code) {
  char buffer[512];
  OzkuserStatus_CodeToString(code, buffer, sizeof buffer, 0);
  return buffer;
}

/// The child's process id; throws the reason when it could not be started.
pid_t Spawn(char* const argv[], const std::string& method, const std::string& pluginName) {
  auto fail = [&](const std::string& reason) {
    return MethodFailedException(method, pluginName, reason);
  };
  OzkuserCompat_SpawnFileActions* actions = nullptr;
  if (int status = OzkuserCompat_SpawnFileActionsInit(&actions, 3))
    throw fail("failed to init file actions: " + StatusText(status));
  for (int fd = 0; fd < 3; ++fd) {
    if (int status = OzkuserCompat_SpawnFileActionsAddDup2(actions, fd, fd)) {
      OzkuserCompat_SpawnFileActionsDestroy(actions);
      throw fail("failed to add dup2 file actions" + StatusText(status));
    }
  }
  pid_t pid = -1;
  uint64_t reserved = 0;
  int status = OzkuserCompat_Spawn(&pid, argv[0], actions, nullptr, argv, &reserved);
  OzkuserCompat_SpawnFileActionsDestroy(actions);
  if (status != 0)
    throw fail("failed to spawn: " + StatusText(status));
  return pid;
}

/// Empty when the child succeeded, else the reason it failed.
std::string WaitReason(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) < 0)
    return "failed to read exit status";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return "";
  if (WIFEXITED(status))
    return "exited with code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "exited with signal: " + std::to_string(WTERMSIG(status));
  return "exited: <unknown failure>";
}

}  // namespace

void RunNativeExecutor(const std::string& method, const std::string& pluginName,
                       const std::string& path) {
  std::string program = platform::HostPath(platform::paths::kNativeExecutor);
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                        const_cast<char*>(pluginName.c_str()), const_cast<char*>(method.c_str()),
                        nullptr};
  std::string reason = WaitReason(Spawn(argv, method, pluginName));
  if (!reason.empty())
    throw MethodFailedException(method, pluginName, reason);
}

}  // namespace kickstand
