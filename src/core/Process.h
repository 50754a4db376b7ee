#pragma once
#include <string>

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

/// Runs command through "/bin/sh -c" to its end, as the C library's system
/// would, but in a process group of its own, so that the shell and all it
/// starts can be ended together. Returns the raw wait status, or -1 when no
/// shell could be started.
int RunShellCommand(platform::Spawner& spawner, const std::string& command);

}  // namespace kickstand
