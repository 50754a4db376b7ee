#include "core/RunOptions.h"

#include "core/Clock.h"
#include "util/GlobalLock.h"

namespace kickstand {

RunOptions::RunOptions() : randomSeed(Clock::System().Now().tv_sec) {}

RunOptions& RunOptions::Instance() {
  static RunOptions* instance = nullptr;
  ScopedLock lock;
  if (!instance)
    instance = new RunOptions();  // never destroyed: workers may outlive main
  return *instance;
}

}  // namespace kickstand
