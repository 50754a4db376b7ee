#include "driver/RunLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "core/Clock.h"
#include "platform/Log.h"
#include "util/Interruption.h"

namespace kickstand {
namespace {

const unsigned kLookEveryUs = 20000;

bool TryLock(int fd) {
  int result;
  while ((result = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return result == 0;
}

}  // namespace

RunLock::~RunLock() {
  if (fd_ >= 0)
    close(fd_);
}

// Close-on-exec: a daemon that a plugin leaves running must not hold it.
RunLock::Outcome RunLock::Take(const std::string& path) {
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  bool held = fd_ >= 0 && (TryLock(fd_) || (errno == EWOULDBLOCK && WaitForHolder()));
  if (!held && interruption_.Interrupted())
    return Outcome::Interrupted;
  if (!held) {
    Log_Level(3, "unable to lock %s: %s; this run goes on without the lock\n", path.c_str(),
              strerror(errno));
    return Outcome::Unlocked;
  }
  // Only the message of a run that waits reads it. Of one width, it
  // replaces the last holder's without the cost of truncating the file.
  char pid[16];
  int length = snprintf(pid, sizeof pid, "%10ld\n", static_cast<long>(getpid()));
  (void)!pwrite(fd_, pid, static_cast<size_t>(length), 0);
  return Outcome::Held;
}

bool RunLock::WaitForHolder() {
  Log_Level(5, "another kickstand run (pid %ld) is in progress; waiting for it to finish\n",
            Holder());
  for (;;) {
    if (interruption_.Interrupted())
      return false;
    clock_.Sleep(kLookEveryUs);
    if (TryLock(fd_))
      return true;
    if (errno != EWOULDBLOCK)
      return false;
  }
}

long RunLock::Holder() const {
  char text[32] = {};
  ssize_t got = pread(fd_, text, sizeof text - 1, 0);
  return got > 0 ? strtol(text, nullptr, 10) : 0;
}

}  // namespace kickstand
