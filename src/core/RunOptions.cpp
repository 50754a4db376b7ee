#include "core/RunOptions.h"

#include <algorithm>

#include "core/Clock.h"
#include "util/GlobalLock.h"

namespace kickstand {

RunOptions::RunOptions() : randomSeed(Clock::System().Now().tv_sec) {}

uint32_t RunOptions::ParallelThreadCount(unsigned processors, size_t nodes) {
  return static_cast<uint32_t>(std::min<size_t>(2 * static_cast<size_t>(processors), nodes));
}

RunOptions& RunOptions::Instance() {
  static RunOptions* instance = nullptr;
  ScopedLock lock;
  if (!instance)
    instance = new RunOptions();  // never destroyed: workers may outlive main
  return *instance;
}

}  // namespace kickstand
