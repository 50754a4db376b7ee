#include "platform/OpenRegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "fifo";
  if (S_ISSOCK(mode)) return "socket";
  if (S_ISDIR(mode)) return "directory";
  if (S_ISCHR(mode)) return "character device";
  if (S_ISBLK(mode)) return "block device";
  return "unknown kind";
}

// A missing plugin keeps the wording it always had.
std::string Reason(int error) {
  return error == ENOENT ? "no such file or directory" : strerror(error);
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string* failure) {
  struct stat status;
  // Looked at before opening: opening a socket fails with a misleading
  // reason, and opening a device can act on it.
  if (stat(path.c_str(), &status) != 0) {
    *failure = Reason(errno);
    return -1;
  }
  if (S_ISREG(status.st_mode)) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      *failure = Reason(errno);
      return -1;
    }
    // The entry may have been replaced since it was looked at.
    if (fstat(fd, &status) != 0 || S_ISREG(status.st_mode))
      return fd;
    close(fd);
  }
  *failure = std::string("not a regular file: ") + KindOf(status.st_mode);
  return -1;
}

}  // namespace platform
