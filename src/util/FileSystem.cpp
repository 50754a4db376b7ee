#include "util/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

namespace kickstand {
namespace {

class PosixFileSystem : public FileSystem {
 public:
  int MakeTemporary(char* pattern) override { return mkostemp(pattern, O_CLOEXEC); }
  int Open(const std::string& path, int flags, mode_t mode) override {
    return ::open(path.c_str(), flags | O_CLOEXEC, mode);
  }
  ssize_t Read(int fd, void* buffer, size_t size) override {
    ssize_t done;
    while ((done = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return done;
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    ssize_t done;
    while ((done = ::write(fd, data, size)) < 0 && errno == EINTR) {
    }
    return done;
  }
  int Sync(int fd) override { return fsync(fd); }
  int Close(int fd) override { return ::close(fd); }
  int Stat(const std::string& path, struct stat* status) override {
    return ::stat(path.c_str(), status);
  }
  int Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str());
  }
  int Chmod(const std::string& path, mode_t mode) override { return ::chmod(path.c_str(), mode); }
  int Unlink(const std::string& path) override { return ::unlink(path.c_str()); }
  int ReadLink(const std::string& path, std::string* target) override {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0)
      return -1;
    target->assign(buffer, static_cast<size_t>(length));
    return 0;
  }
  int ListDirectory(const std::string& directory, std::vector<std::string>* names) override {
    DIR* listing = opendir(directory.c_str());
    if (!listing)
      return -1;
    while (const dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..")
        names->push_back(name);
    }
    closedir(listing);
    return 0;
  }
};

}  // namespace

FileSystem& FileSystem::System() {
  static auto* files = new PosixFileSystem();  // stateless; outlives every thread
  return *files;
}

}  // namespace kickstand
