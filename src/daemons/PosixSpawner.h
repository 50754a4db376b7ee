#pragma once
#include "daemons/Spawner.h"

namespace kickstand {

/// Spawns with posix_spawn. The child keeps our user and group ids and
/// only the three descriptors it is given.
class PosixSpawner : public Spawner {
 public:
  /// The process-wide instance; stateless, so shared by every worker.
  static PosixSpawner& Instance();

  pid_t Spawn(const SpawnRequest& request) override;
  pid_t TryWait(pid_t child, int* status) override;
  void Sleep(unsigned microseconds) override;
};

}  // namespace kickstand
