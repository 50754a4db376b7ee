#include "platform/OzkuserCompat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/Spawner.h"

struct OzkuserCompat_SpawnFileActions {
  std::vector<std::pair<int, int>> dup2s;
};

int OzkuserCompat_SpawnFileActionsInit(OzkuserCompat_SpawnFileActions** actions, int capacity) {
  auto* created = new (std::nothrow) OzkuserCompat_SpawnFileActions;
  if (!created)
    return ENOMEM;
  created->dup2s.reserve(capacity > 0 ? static_cast<size_t>(capacity) : 0);
  *actions = created;
  return 0;
}

int OzkuserCompat_SpawnFileActionsAddDup2(OzkuserCompat_SpawnFileActions* actions, int from,
                                          int to) {
  if (from < 0 || to < 0)
    return EBADF;
  actions->dup2s.emplace_back(from, to);
  return 0;
}

void OzkuserCompat_SpawnFileActionsDestroy(OzkuserCompat_SpawnFileActions* actions) {
  delete actions;
}

int OzkuserCompat_Spawn(pid_t* pid, const char* path, OzkuserCompat_SpawnFileActions* actions,
                        const void*, char* const argv[], uint64_t*) {
  platform::SpawnRequest request;
  request.arguments.push_back(path);
  for (char* const* argument = argv + 1; argv[0] && *argument; ++argument)
    request.arguments.push_back(*argument);
  request.dup2s = actions->dup2s;
  // The child leads a process group of its own, so that an operation that
  // runs too long can be ended with everything it started.
  request.newProcessGroup = true;
  pid_t child = platform::Spawner::System().Spawn(request);
  if (child < 0)
    return errno;
  *pid = child;
  return 0;
}

void OzkuserStatus_CodeToString(int code, char* buffer, size_t size, int) {
  char text[256];
  // The GNU strerror_r: thread-safe, returns the text (not always in text).
  snprintf(buffer, size, "%s", strerror_r(code, text, sizeof text));
}
