#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

namespace kickstand {

/// What a daemon command's child is started with.
struct SpawnRequest {
  std::vector<std::string> arguments;  // the first is the program path
  char** environment = nullptr;
  int directory = -1;                  // descriptor the child changes into
  int stdio[3] = {-1, -1, -1};         // its standard input, output, error
};

/// The process calls a daemon command needs, so the polling can be driven
/// by a fake in tests.
class Spawner {
 public:
  virtual ~Spawner() = default;
  /// The child's process id, or -1 with errno set.
  virtual pid_t Spawn(const SpawnRequest& request) = 0;
  /// waitpid without blocking: 0 while the child runs, -1 with errno set.
  virtual pid_t TryWait(pid_t child, int* status) = 0;
  virtual void Sleep(unsigned microseconds) = 0;
};

}  // namespace kickstand
