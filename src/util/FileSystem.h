#pragma once
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace kickstand {

/// The file operations beneath a durable replacement, POSIX-shaped: each
/// returns -1 with errno set on failure. The atomic file stream goes through
/// it, so that tests can fail any step or act out a power cut after it.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// mkstemp: pattern ends in "XXXXXX", which is replaced; the file is new.
  virtual int MakeTemporary(char* pattern) = 0;
  virtual int Open(const std::string& path, int flags, mode_t mode = 0) = 0;
  virtual ssize_t Read(int fd, void* buffer, size_t size) = 0;
  virtual ssize_t Write(int fd, const void* data, size_t size) = 0;
  /// fsync: a file's data, or a directory's entries, reach the disk.
  virtual int Sync(int fd) = 0;
  virtual int Close(int fd) = 0;
  virtual int Stat(const std::string& path, struct stat* status) = 0;
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Chmod(const std::string& path, mode_t mode) = 0;
  virtual int Unlink(const std::string& path) = 0;
  /// readlink: where the symbolic link path points, as written in it; -1
  /// with EINVAL when path is not a link.
  virtual int ReadLink(const std::string& path, std::string* target) = 0;
  /// The names in directory, without "." and "..".
  virtual int ListDirectory(const std::string& directory, std::vector<std::string>* names) = 0;

  /// The operating system's files, shared by the whole process.
  static FileSystem& System();
};

}  // namespace kickstand
