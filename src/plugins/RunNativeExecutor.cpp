#include "plugins/RunNativeExecutor.h"

#include <optional>

#include "core/Process.h"
#include "platform/ExitStatus.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/OzkuserCompat.h"
#include "platform/Spawner.h"
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

const platform::ExitStatus::Words kWords{"exited with code ", "exited with signal: ",
                                         "exited: <unknown failure>"};

/// Nothing when the child succeeded, else the reason it failed.
std::optional<std::string> WaitReason(pid_t pid, const Deadline& deadline) {
  int status = 0;
  if (!WaitBefore(platform::Spawner::System(), pid, deadline, &status))
    return "failed to read exit status";
  return platform::ExitStatus(status).Failure(kWords);
}

}  // namespace

void RunNativeExecutor(const std::string& method, const std::string& pluginName,
                       const std::string& path, const Deadline& deadline) {
  std::string program = platform::HostPath(platform::paths::kNativeExecutor);
  char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                        const_cast<char*>(pluginName.c_str()), const_cast<char*>(method.c_str()),
                        nullptr};
  if (std::optional<std::string> reason = WaitReason(Spawn(argv, method, pluginName), deadline))
    throw MethodFailedException(method, pluginName, *reason);
}

}  // namespace kickstand
