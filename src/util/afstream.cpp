#include "util/afstream.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>

#include "util/Interruption.h"

namespace kickstand {
namespace {

/// As many as the kernel follows before it gives up with ELOOP.
const int kMaxLinkHops = 40;

std::string ErrorText(int error) { return strerror(error); }

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
}

std::runtime_error PermissionError(int error) {
  return std::runtime_error(
      "failed to restore file permissions, file permissions may be incorrect: " +
      ErrorText(error));
}

int OpenFlags(std::ios_base::openmode mode) {
  return O_WRONLY | O_CREAT | ((mode & std::ios_base::app) ? O_APPEND : O_TRUNC);
}

/// The path up to and with its last slash: "" for a bare name.
std::string DirectoryPrefix(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

/// name.XXXXXX as mkstemp makes it.
bool IsTemporaryOf(const std::string& name, const std::string& entry) {
  return entry.size() == name.size() + 7 && entry.compare(0, name.size(), name) == 0 &&
         entry[name.size()] == '.' &&
         std::all_of(entry.end() - 6, entry.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

bool afstream::Buffer::Drain() {
  if (abandonOn_ && abandonOn_->Interrupted()) {
    error_ = EINTR;
    return false;
  }
  const char* next = pbase();
  while (next < pptr()) {
    ssize_t written = files_.Write(fd_, next, static_cast<size_t>(pptr() - next));
    if (written <= 0) {
      error_ = written < 0 ? errno : ENOSPC;
      return false;
    }
    next += written;
  }
  setp(data_, data_ + sizeof data_);
  return true;
}

int afstream::Buffer::overflow(int c) {
  if (fd_ < 0 || !Drain())
    return traits_type::eof();
  if (c != traits_type::eof())
    sputc(static_cast<char>(c));
  return traits_type::not_eof(c);
}

int afstream::Buffer::sync() { return fd_ >= 0 && Drain() ? 0 : -1; }

bool afstream::Buffer::Close() {
  if (fd_ < 0)
    return true;
  bool drained = Drain();
  bool closed = files_.Close(fd_) == 0;
  if (!closed && drained)
    error_ = errno;
  fd_ = -1;
  setp(nullptr, nullptr);
  return drained && closed;
}

afstream::afstream(FileSystem& files, ReplacementRules rules)
    : files_(files), rules_(std::move(rules)), buffer_(files) {
  std::ios::rdbuf(&buffer_);
}

afstream::~afstream() {
  buffer_.Close();
  if (!temporaryPath_.empty())
    files_.Unlink(temporaryPath_);
}

void afstream::open(const std::string& path, std::ios_base::openmode mode) {
  std::string destination = FinalTarget(path);
  ClearDebris(destination);
  const Interruption* interruption = rules_.interruption;
  abandonOn_ = interruption && !interruption->Interrupted() ? interruption : nullptr;
  size_t size = destination.size() + 8;
  std::unique_ptr<char, decltype(&free)> pattern(static_cast<char*>(calloc(size, 1)), &free);
  if (!pattern)
    throw std::runtime_error("insufficient memory to allocate buffer");
  // A destination with an embedded NUL formats shorter than its size.
  int length = snprintf(pattern.get(), size, "%s.XXXXXX", destination.c_str());
  if (length != static_cast<int>(size - 1))
    throw std::runtime_error("unable to allocate mkstemp pattern");
  int fd = files_.MakeTemporary(pattern.get());
  if (fd < 0)
    throw std::runtime_error("unable to create temporary file to write '" + destination +
                             "': " + ErrorText(errno));
  files_.Close(fd);
  temporaryPath_ = pattern.get();
  destination_ = destination;
  fd = files_.Open(temporaryPath_, OpenFlags(mode | std::ios_base::out), 0600);
  if (fd >= 0) {
    buffer_.Attach(fd, abandonOn_);
    clear();
  } else {
    setstate(std::ios_base::failbit);
  }
  if (!good())
    throw std::runtime_error("failed to create temp file: " + ErrorText(errno));
}

void afstream::open_append(const std::string& destination, std::ios_base::openmode mode) {
  open(destination, mode);
  CopyDestination();
  ThrowIfAbandoned();
  if (!good())
    throw std::runtime_error("failed to write to temp file: " + ErrorText(errno));
}

// A link, as a bootbank often is, stays a link and its target goes on
// being the file: the replacement happens beside the final target.
std::string afstream::FinalTarget(std::string path) {
  std::string target;
  for (int hops = 0; hops < kMaxLinkHops && files_.ReadLink(path, &target) == 0; ++hops)
    path = target.compare(0, 1, "/") == 0 ? target : DirectoryPrefix(path) + target;
  return path;
}

// Only this naming pattern: nothing else beside the destination is ours.
void afstream::ClearDebris(const std::string& destination) {
  if (!rules_.clearedDebris)
    return;
  std::string prefix = DirectoryPrefix(destination);
  std::string name = destination.substr(prefix.size());
  std::vector<std::string> entries;
  if (files_.ListDirectory(DirectoryOf(destination), &entries) != 0)
    return;
  for (const std::string& entry : entries) {
    if (IsTemporaryOf(name, entry) && files_.Unlink(prefix + entry) == 0)
      rules_.clearedDebris(prefix + entry);
  }
}

void afstream::ThrowIfAbandoned() const {
  if (abandonOn_ && abandonOn_->Interrupted())
    throw std::runtime_error(abandonOn_->What());
}

// A missing, unreadable or empty destination copies nothing, which fails
// the stream: there is nothing to append to. Opened without waiting: a FIFO
// in its place reads as empty instead of holding the run.
void afstream::CopyDestination() {
  int fd = files_.Open(destination_, O_RDONLY | O_NONBLOCK);
  size_t copied = 0;
  if (fd >= 0) {
    char chunk[8192];
    ssize_t got;
    while ((got = files_.Read(fd, chunk, sizeof chunk)) > 0 && good()) {
      write(chunk, got);
      copied += static_cast<size_t>(got);
    }
    int error = errno;
    files_.Close(fd);
    errno = error;
  }
  if (copied == 0)
    setstate(std::ios_base::failbit);
}

void afstream::commit() {
  if (temporaryPath_.empty() || destination_.empty())
    throw std::runtime_error("commit invoked on an unknown destination");
  bool writing = buffer_.IsOpen();
  flush();
  if (!buffer_.Close())
    setstate(std::ios_base::failbit);
  ThrowIfAbandoned();
  // A write that failed, on a full disk say, must not replace the destination.
  if (writing && !good())
    throw std::runtime_error("unable to write '" + destination_ + "': " +
                             ErrorText(buffer_.Error()));
  SyncTemporaryFile();
  ThrowIfAbandoned();
  errno = 0;
  struct stat status;
  bool exists = files_.Stat(destination_, &status) == 0;
  int statError = errno;
  RenameIntoPlace();
  if (exists && files_.Chmod(destination_, status.st_mode & 07777) != 0)
    throw PermissionError(errno);
  if (!exists && statError != ENOENT)
    throw PermissionError(statError);
}

// Without this, a power cut soon after the rename can leave an empty
// destination. A file that cannot be opened is left to the rename to report.
void afstream::SyncTemporaryFile() {
  int fd = files_.Open(temporaryPath_, O_RDONLY);
  if (fd < 0)
    return;
  int result = files_.Sync(fd);
  int error = errno;
  files_.Close(fd);
  if (result != 0)
    throw std::runtime_error("unable to sync '" + temporaryPath_ + "': " + ErrorText(error));
}

void afstream::RenameIntoPlace() {
  if (files_.Rename(temporaryPath_, destination_) != 0)
    throw std::runtime_error("unable to rename '" + temporaryPath_ + "' to '" + destination_ +
                             "': " + ErrorText(errno));
  SyncDirectory();
}

// Makes the rename itself durable. The destination is already replaced, so
// a failure here changes nothing a reader could see.
void afstream::SyncDirectory() {
  int fd = files_.Open(DirectoryOf(destination_), O_RDONLY | O_DIRECTORY);
  if (fd < 0)
    return;
  files_.Sync(fd);
  files_.Close(fd);
}

}  // namespace kickstand
