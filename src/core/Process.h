#pragma once

namespace kickstand {

/// Standard input from /dev/null, standard output and error appended to
/// path. Meant for freshly forked children; failures leave a stream as it was.
void RedirectStdio(const char* path);

/// Runs a program to its end with none of our descriptors but 0 to 2, all
/// three on /dev/null. True when it exited with status 0.
bool RunProgram(char* const argv[], char* const envp[]);

}  // namespace kickstand
