#pragma once
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "util/FileSystem.h"

namespace testing_support {

/// Files in memory that know what a power cut would keep: a file's data
/// only as of its last sync, a directory's entries only as of the last sync
/// of that directory. Any operation can be made to fail.
class MemoryFileSystem : public kickstand::FileSystem {
 public:
  /// A file already on the disk, data and name.
  void Preserve(const std::string& path, const std::string& data) {
    names_[path] = synced_[path] = std::make_shared<File>(File{data, data, 0644});
  }
  /// What path would hold after a power cut now; nothing if it would be gone.
  std::optional<std::string> AfterPowerCut(const std::string& path) const {
    auto found = synced_.find(path);
    return found == synced_.end() ? std::nullopt : std::optional(found->second->synced);
  }
  std::optional<std::string> Content(const std::string& path) const {
    auto found = names_.find(path);
    return found == names_.end() ? std::nullopt : std::optional(found->second->data);
  }
  size_t FileCount() const { return names_.size(); }

  /// Operation ("mkstemp", "open", "write", "fsync", "rename", ...) to the
  /// errno its call fails with.
  std::map<std::string, int> failures;
  /// Called after every operation that changes what is stored.
  std::function<void(const std::string& operation)> afterChange;

  int MakeTemporary(char* pattern) override {
    if (Fails("mkstemp")) return -1;
    snprintf(pattern + strlen(pattern) - 6, 7, "%06d", temporaries_++);
    return Open(pattern, O_CREAT | O_WRONLY, 0600);
  }
  int Open(const std::string& path, int flags, mode_t mode) override {
    if (Fails("open")) return -1;
    if (flags & O_DIRECTORY) return Handle(nullptr, path);
    auto found = names_.find(path);
    if (found == names_.end() && !(flags & O_CREAT)) return errno = ENOENT, -1;
    if (found == names_.end())
      found = names_.emplace(path, std::make_shared<File>(File{"", "", mode})).first;
    if (flags & O_TRUNC) found->second->data.clear();
    return Handle(found->second, path);
  }
  ssize_t Read(int fd, void* buffer, size_t size) override {
    if (Fails("read")) return -1;
    auto& [file, path, offset] = handles_.at(fd);
    size_t count = file->data.copy(static_cast<char*>(buffer), size, offset);
    offset += count;
    return static_cast<ssize_t>(count);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (Fails("write")) return -1;
    std::get<0>(handles_.at(fd))->data.append(static_cast<const char*>(data), size);
    return Changed("write"), static_cast<ssize_t>(size);
  }
  int Sync(int fd) override {
    if (Fails("fsync")) return -1;
    auto& [file, path, offset] = handles_.at(fd);
    if (file) {
      file->synced = file->data;
    } else {  // a directory: its entries as they are now
      for (auto it = synced_.begin(); it != synced_.end();)
        it = In(path, it->first) ? synced_.erase(it) : std::next(it);
      for (const auto& [name, named] : names_)
        if (In(path, name)) synced_[name] = named;
    }
    return Changed("fsync"), 0;
  }
  int Close(int fd) override { return Fails("close") ? -1 : (handles_.erase(fd), 0); }
  int Stat(const std::string& path, struct stat* status) override {
    if (Fails("stat")) return -1;
    auto found = names_.find(path);
    if (found == names_.end()) return errno = ENOENT, -1;
    *status = {};
    status->st_mode = S_IFREG | found->second->mode;
    return 0;
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (Fails("rename")) return -1;
    auto found = names_.find(from);
    if (found == names_.end()) return errno = ENOENT, -1;
    names_[to] = found->second;
    names_.erase(from);
    return Changed("rename"), 0;
  }
  int Chmod(const std::string& path, mode_t mode) override {
    return Fails("chmod") ? -1 : (names_.at(path)->mode = mode, 0);
  }
  int Unlink(const std::string& path) override {
    if (Fails("unlink") || !names_.erase(path)) return -1;
    return Changed("unlink"), 0;
  }
  int ReadLink(const std::string&, std::string*) override { return errno = EINVAL, -1; }
  int ListDirectory(const std::string& directory, std::vector<std::string>* entries) override {
    for (const auto& named : names_)
      if (In(directory, named.first)) entries->push_back(named.first.substr(named.first.rfind('/') + 1));
    return 0;
  }

 private:
  struct File {
    std::string data, synced;
    mode_t mode;
  };

  bool Fails(const std::string& operation) {
    auto found = failures.find(operation);
    return found != failures.end() && (errno = found->second, true);
  }
  void Changed(const std::string& operation) const {
    if (afterChange) afterChange(operation);
  }
  int Handle(std::shared_ptr<File> file, const std::string& path) {
    handles_[next_] = {std::move(file), path, 0};
    return next_++;
  }
  static bool In(const std::string& directory, const std::string& path) {
    size_t slash = path.rfind('/');
    return path.substr(0, slash ? slash : 1) == directory;
  }

  std::map<std::string, std::shared_ptr<File>> names_, synced_;
  std::map<int, std::tuple<std::shared_ptr<File>, std::string, size_t>> handles_;
  int next_ = 3, temporaries_ = 0;
};

}  // namespace testing_support
