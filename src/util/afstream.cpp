#include "util/afstream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kickstand {
namespace {

std::string ErrorText(int error) { return strerror(error); }

std::string CreateTemporaryFile(const std::string& destination) {
  size_t size = destination.size() + 8;
  std::unique_ptr<char, decltype(&free)> pattern(static_cast<char*>(calloc(size, 1)), &free);
  if (!pattern)
    throw std::runtime_error("insufficient memory to allocate buffer");
  // A destination with an embedded NUL formats shorter than its size.
  int length = snprintf(pattern.get(), size, "%s.XXXXXX", destination.c_str());
  if (length != static_cast<int>(size - 1))
    throw std::runtime_error("unable to allocate mkstemp pattern");
  int fd = mkstemp(pattern.get());
  if (fd < 0)
    throw std::runtime_error("unable to create temporary file to write '" + destination +
                             "': " + ErrorText(errno));
  close(fd);
  return pattern.get();
}

/// Without this, a power cut soon after the rename can leave an empty
/// destination. A file that cannot be opened is left to the rename to report.
void SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return;
  int result = fsync(fd);
  int error = errno;
  close(fd);
  if (result != 0)
    throw std::runtime_error("unable to sync '" + path + "': " + ErrorText(error));
}

/// Makes the rename itself durable. The destination is already replaced, so
/// a failure here changes nothing a reader could see.
void SyncDirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  fsync(fd);
  close(fd);
}

std::runtime_error PermissionError(int error) {
  return std::runtime_error(
      "failed to restore file permissions, file permissions may be incorrect: " +
      ErrorText(error));
}

}  // namespace

afstream::~afstream() {
  if (temporaryPath_.empty())
    return;
  if (is_open())
    rdbuf()->close();
  unlink(temporaryPath_.c_str());
}

void afstream::open(const std::string& destination, std::ios_base::openmode mode) {
  temporaryPath_ = CreateTemporaryFile(destination);
  destination_ = destination;
  if (rdbuf()->open(temporaryPath_, mode | std::ios_base::out))
    clear();
  else
    setstate(std::ios_base::failbit);
  if (!good())
    throw std::runtime_error("failed to create temp file: " + ErrorText(errno));
}

void afstream::open_append(const std::string& destination, std::ios_base::openmode mode) {
  open(destination, mode);
  std::ifstream reader(destination, std::ios_base::in | std::ios_base::binary);
  // Inserting a buffer that yields nothing sets the fail bit, so an empty
  // destination is refused like a missing one.
  *this << reader.rdbuf();
  if (!good())
    throw std::runtime_error("failed to write to temp file: " + ErrorText(errno));
}

void afstream::commit() {
  if (temporaryPath_.empty() || destination_.empty())
    throw std::runtime_error("commit invoked on an unknown destination");
  bool writing = is_open();
  flush();
  if (!rdbuf()->close())
    setstate(std::ios_base::failbit);
  // A write that failed, on a full disk say, must not replace the destination.
  if (writing && !good())
    throw std::runtime_error("unable to write '" + destination_ + "': " + ErrorText(errno));
  SyncFile(temporaryPath_);
  errno = 0;
  struct stat status;
  bool exists = stat(destination_.c_str(), &status) == 0;
  int statError = errno;
  RenameIntoPlace();
  if (exists && chmod(destination_.c_str(), status.st_mode & 07777) != 0)
    throw PermissionError(errno);
  if (!exists && statError != ENOENT)
    throw PermissionError(statError);
}

void afstream::RenameIntoPlace() {
  if (rename(temporaryPath_.c_str(), destination_.c_str()) != 0)
    throw std::runtime_error("unable to rename '" + temporaryPath_ + "' to '" + destination_ +
                             "': " + ErrorText(errno));
  SyncDirectoryOf(destination_);
}

}  // namespace kickstand
