#include "util/GlobalLock.h"

namespace kickstand {

std::recursive_mutex& GlobalMutex() {
  static std::recursive_mutex* mutex = new std::recursive_mutex();  // never destroyed
  return *mutex;
}

}  // namespace kickstand
