#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

namespace executor_tests {

/// This test process's relocation root. HostPath reads KICKSTAND_ROOT once
/// per process, so it is set by a static initialiser before any test runs;
/// at exit every executor serving it is killed and it is removed.
const std::string& ProcessRoot();
std::string RootPath(const std::string& hostPath);
void WriteFile(const std::string& hostPath, const std::string& content, mode_t mode = 0644);
std::string ReadFile(const std::string& hostPath);
/// How often part occurs in text.
int Occurrences(const std::string& text, const std::string& part);

/// Whether a socket listens on path. A dying process may still have its
/// socket listening after its descriptors vanished from /proc.
bool Listening(const std::string& socketPath);
/// Waits, loosely bounded, until nothing listens on path; false if in vain.
bool NoListenerWithin(const std::string& socketPath);
/// Processes (other than this one) listening on the UNIX socket path.
std::vector<pid_t> SocketListeners(const std::string& socketPath);
/// Kills every executor process serving this root's control socket and
/// waits until they are gone.
void KillExecutors();

}  // namespace executor_tests
