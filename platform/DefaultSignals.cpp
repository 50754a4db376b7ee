#include "platform/DefaultSignals.h"

#include <csignal>

namespace platform {

DefaultSignals::DefaultSignals() {
  posix_spawnattr_init(&attributes_);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes_, &defaults);
  posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF);
}

DefaultSignals::~DefaultSignals() { posix_spawnattr_destroy(&attributes_); }

}  // namespace platform
