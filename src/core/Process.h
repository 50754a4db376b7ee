#pragma once
#include <string>
#include <sys/types.h>

#include "core/Deadline.h"

namespace platform {
class Spawner;
}

namespace kickstand {

/// Standard input from /dev/null, standard output and error appended to
/// path. Meant for freshly forked children; failures leave a stream as it was.
void RedirectStdio(const char* path);

/// Runs a program to its end with none of our descriptors but 0 to 2, all
/// three on /dev/null. True when it exited with status 0.
bool RunProgram(char* const argv[], char* const envp[]);

/// Waits for child, which leads a process group of its own, and reaps it;
/// false when it could not. When the deadline passes or the run is
/// interrupted first, ends the group (SIGTERM, SIGKILL 2 s later) and throws
/// what the deadline throws when reached.
bool WaitBefore(platform::Spawner& spawner, pid_t child, const Deadline& deadline, int* status);

/// Runs command through "/bin/sh -c" to its end, as the C library's system
/// would, but in a process group of its own, so that the shell and all it
/// starts can be ended together at the deadline. Returns the raw wait
/// status, or -1 when no shell could be started.
int RunShellCommand(platform::Spawner& spawner, const std::string& command,
                    const Deadline& deadline = Deadline());

}  // namespace kickstand
