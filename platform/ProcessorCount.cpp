#include "platform/ProcessorCount.h"

#include <unistd.h>

namespace platform {

unsigned ProcessorCount() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

}  // namespace platform
