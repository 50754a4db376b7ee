#include "platform/OzkuserCompat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <spawn.h>

#include "platform/DefaultSignals.h"

extern char** environ;

struct OzkuserCompat_SpawnFileActions {
  posix_spawn_file_actions_t actions;
};

int OzkuserCompat_SpawnFileActionsInit(OzkuserCompat_SpawnFileActions** actions, int) {
  auto* created = new (std::nothrow) OzkuserCompat_SpawnFileActions;
  if (!created)
    return ENOMEM;
  int status = posix_spawn_file_actions_init(&created->actions);
  if (status != 0) {
    delete created;
    return status;
  }
  *actions = created;
  return 0;
}

int OzkuserCompat_SpawnFileActionsAddDup2(OzkuserCompat_SpawnFileActions* actions, int from,
                                          int to) {
  return posix_spawn_file_actions_adddup2(&actions->actions, from, to);
}

void OzkuserCompat_SpawnFileActionsDestroy(OzkuserCompat_SpawnFileActions* actions) {
  posix_spawn_file_actions_destroy(&actions->actions);
  delete actions;
}

int OzkuserCompat_Spawn(pid_t* pid, const char* path, OzkuserCompat_SpawnFileActions* actions,
                        const void*, char* const argv[], uint64_t*) {
  platform::DefaultSignals signals;
  return posix_spawn(pid, path, &actions->actions, signals.Attributes(), argv, environ);
}

void OzkuserStatus_CodeToString(int code, char* buffer, size_t size, int) {
  char text[256];
  // The GNU strerror_r: thread-safe, returns the text (not always in text).
  snprintf(buffer, size, "%s", strerror_r(code, text, sizeof text));
}
