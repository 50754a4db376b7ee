#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "util/FileSystem.h"

namespace testing_support {

/// Files in memory that know what a power cut would keep: a file's data
/// only as of its last sync, a directory's entries only as of the last sync
/// of that directory. Any operation can be made to fail.
class MemoryFileSystem : public kickstand::FileSystem {
 public:
  /// A file that is already on the disk, data and name.
  void Preserve(const std::string& path, const std::string& content);
  /// What path would hold after a power cut now; nothing if it would not exist.
  std::optional<std::string> AfterPowerCut(const std::string& path) const;
  std::optional<std::string> Content(const std::string& path) const;
  size_t FileCount() const { return names_.size(); }

  /// Operation names: "mkstemp", "open", "read", "write", "fsync", "close",
  /// "stat", "rename", "chmod", "unlink". A failing one sets errno to error.
  std::map<std::string, int> failures;
  /// Called after every operation that changes what is stored.
  std::function<void(const std::string& operation)> afterChange;

  int MakeTemporary(char* pattern) override;
  int Open(const std::string& path, int flags, mode_t mode) override;
  ssize_t Read(int fd, void* buffer, size_t size) override;
  ssize_t Write(int fd, const void* data, size_t size) override;
  int Sync(int fd) override;
  int Close(int fd) override;
  int Stat(const std::string& path, struct stat* status) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Chmod(const std::string& path, mode_t mode) override;
  int Unlink(const std::string& path) override;

 private:
  struct File {
    std::string data, synced;
    mode_t mode = 0600;
  };
  struct Handle {
    std::shared_ptr<File> file;  // null for a directory
    std::string directory;
    size_t offset = 0;
  };

  bool Fails(const std::string& operation);
  void Changed(const std::string& operation) const;
  int NewHandle(Handle handle);

  std::map<std::string, std::shared_ptr<File>> names_, syncedNames_;
  std::map<int, Handle> handles_;
  int nextFd_ = 3, nextTemporary_ = 0;
};

}  // namespace testing_support
