#pragma once
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

/// The host's process-spawn library. Status codes are 0 on success and an
/// error number otherwise.
struct OzkuserCompat_SpawnFileActions;

int OzkuserCompat_SpawnFileActionsInit(OzkuserCompat_SpawnFileActions** actions, int capacity);
int OzkuserCompat_SpawnFileActionsAddDup2(OzkuserCompat_SpawnFileActions* actions, int from,
                                          int to);
void OzkuserCompat_SpawnFileActionsDestroy(OzkuserCompat_SpawnFileActions* actions);
/// Starts path with argv and the caller's environment, as the leader of a
/// process group of its own; attributes must be null and reserved points to
/// a zeroed value that is not read back.
int OzkuserCompat_Spawn(pid_t* pid, const char* path, OzkuserCompat_SpawnFileActions* actions,
                        const void* attributes, char* const argv[], uint64_t* reserved);
/// Writes a readable text for code into buffer.
void OzkuserStatus_CodeToString(int code, char* buffer, size_t size, int flags);
