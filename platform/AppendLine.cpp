#include "platform/AppendLine.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

bool AppendLine(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  std::string line = text + "\n";
  ssize_t written = write(fd, line.data(), line.size());
  int error = errno;
  close(fd);
  errno = error;
  return written == static_cast<ssize_t>(line.size());
}

}  // namespace platform
