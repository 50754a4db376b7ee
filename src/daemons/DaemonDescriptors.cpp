#include "daemons/DaemonDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/Log.h"

namespace kickstand {

// Close-on-exec, so that commands spawned at the same time on other workers
// do not inherit each other's descriptors.
DaemonDescriptors::DaemonDescriptors() {
  root_ = open("/", O_RDONLY | O_CLOEXEC);
  if (root_ <= 0)
    Panic("VERIFY %s:%d\n", "apps/kickstand/kicker/DaemonPlugin", 86);
  null_ = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_ < 0) {
    Log_Level(3, "opening /dev/null failed\n");
    null_ = root_;
  }
  log_ = open("/dev/log", O_WRONLY | O_CLOEXEC);
  if (log_ < 0)
    log_ = null_;
}

DaemonDescriptors::~DaemonDescriptors() {
  close(root_);
  if (null_ != root_)
    close(null_);
  if (log_ != null_)
    close(log_);
}

}  // namespace kickstand
