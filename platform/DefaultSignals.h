#pragma once
#include <spawn.h>

namespace platform {

/// Spawn attributes that start the child with SIGPIPE at its default:
/// kickstand ignores it, and an ignored signal stays ignored across exec.
class DefaultSignals {
 public:
  DefaultSignals();
  ~DefaultSignals();
  DefaultSignals(const DefaultSignals&) = delete;
  DefaultSignals& operator=(const DefaultSignals&) = delete;

  const posix_spawnattr_t* Attributes() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

}  // namespace platform
