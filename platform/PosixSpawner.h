#pragma once
#include "platform/Spawner.h"

namespace platform {

/// Spawns with posix_spawn. A child keeps our user and group ids.
class PosixSpawner : public Spawner {
 public:
  pid_t Spawn(const SpawnRequest& request) override;
  pid_t TryWait(pid_t child, int* status) override;
  bool Wait(pid_t child, int* status, std::optional<std::chrono::milliseconds> limit,
            int hangUp) override;
  void Signal(pid_t child, int signal) override;
  void EndRestOfGroup(pid_t group, std::chrono::milliseconds left) override;
  pid_t Fork() override;
};

}  // namespace platform
