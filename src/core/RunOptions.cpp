#include "core/RunOptions.h"

#include <ctime>

#include "util/GlobalLock.h"

namespace kickstand {

RunOptions::RunOptions() : randomSeed(time(nullptr)) {}

RunOptions& RunOptions::Instance() {
  static RunOptions* instance = nullptr;
  ScopedLock lock;
  if (!instance)
    instance = new RunOptions();  // never destroyed: workers may outlive main
  return *instance;
}

}  // namespace kickstand
