#include "support/MemoryFileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace testing_support {
namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
}

}  // namespace

void MemoryFileSystem::Preserve(const std::string& path, const std::string& content) {
  auto file = std::make_shared<File>(File{content, content, 0644});
  names_[path] = syncedNames_[path] = file;
}

std::optional<std::string> MemoryFileSystem::AfterPowerCut(const std::string& path) const {
  auto found = syncedNames_.find(path);
  if (found == syncedNames_.end())
    return std::nullopt;
  return found->second->synced;
}

std::optional<std::string> MemoryFileSystem::Content(const std::string& path) const {
  auto found = names_.find(path);
  if (found == names_.end())
    return std::nullopt;
  return found->second->data;
}

bool MemoryFileSystem::Fails(const std::string& operation) {
  auto found = failures.find(operation);
  if (found == failures.end())
    return false;
  errno = found->second;
  return true;
}

void MemoryFileSystem::Changed(const std::string& operation) const {
  if (afterChange)
    afterChange(operation);
}

int MemoryFileSystem::NewHandle(Handle handle) {
  handles_[nextFd_] = std::move(handle);
  return nextFd_++;
}

int MemoryFileSystem::MakeTemporary(char* pattern) {
  if (Fails("mkstemp"))
    return -1;
  size_t length = strlen(pattern);
  snprintf(pattern + length - 6, 7, "%06d", nextTemporary_++);
  auto file = std::make_shared<File>();
  names_[pattern] = file;
  Changed("mkstemp");
  return NewHandle({file, "", 0});
}

int MemoryFileSystem::Open(const std::string& path, int flags, mode_t mode) {
  if (Fails("open"))
    return -1;
  if (flags & O_DIRECTORY)
    return NewHandle({nullptr, path, 0});
  auto found = names_.find(path);
  if (found == names_.end() && !(flags & O_CREAT)) {
    errno = ENOENT;
    return -1;
  }
  if (found == names_.end())
    found = names_.emplace(path, std::make_shared<File>(File{"", "", mode})).first;
  if (flags & O_TRUNC)
    found->second->data.clear();
  return NewHandle({found->second, "", 0});
}

ssize_t MemoryFileSystem::Read(int fd, void* buffer, size_t size) {
  if (Fails("read"))
    return -1;
  Handle& handle = handles_.at(fd);
  size_t count = handle.file->data.copy(static_cast<char*>(buffer), size, handle.offset);
  handle.offset += count;
  return static_cast<ssize_t>(count);
}

ssize_t MemoryFileSystem::Write(int fd, const void* data, size_t size) {
  if (Fails("write"))
    return -1;
  handles_.at(fd).file->data.append(static_cast<const char*>(data), size);
  Changed("write");
  return static_cast<ssize_t>(size);
}

int MemoryFileSystem::Sync(int fd) {
  if (Fails("fsync"))
    return -1;
  Handle& handle = handles_.at(fd);
  if (handle.file) {
    handle.file->synced = handle.file->data;
  } else {
    for (auto it = syncedNames_.begin(); it != syncedNames_.end();)
      it = DirectoryOf(it->first) == handle.directory ? syncedNames_.erase(it) : std::next(it);
    for (const auto& [name, file] : names_)
      if (DirectoryOf(name) == handle.directory) syncedNames_[name] = file;
  }
  Changed("fsync");
  return 0;
}

int MemoryFileSystem::Close(int fd) {
  if (Fails("close"))
    return -1;
  handles_.erase(fd);
  return 0;
}

int MemoryFileSystem::Stat(const std::string& path, struct stat* status) {
  if (Fails("stat"))
    return -1;
  auto found = names_.find(path);
  if (found == names_.end()) {
    errno = ENOENT;
    return -1;
  }
  *status = {};
  status->st_mode = S_IFREG | found->second->mode;
  return 0;
}

int MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (Fails("rename"))
    return -1;
  auto found = names_.find(from);
  if (found == names_.end()) {
    errno = ENOENT;
    return -1;
  }
  names_[to] = found->second;
  names_.erase(from);
  Changed("rename");
  return 0;
}

int MemoryFileSystem::Chmod(const std::string& path, mode_t mode) {
  if (Fails("chmod"))
    return -1;
  names_.at(path)->mode = mode;
  return 0;
}

int MemoryFileSystem::Unlink(const std::string& path) {
  if (Fails("unlink") || !names_.erase(path))
    return -1;
  Changed("unlink");
  return 0;
}

}  // namespace testing_support
