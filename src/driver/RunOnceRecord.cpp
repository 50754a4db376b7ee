#include "driver/RunOnceRecord.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <boost/algorithm/string/trim.hpp>
#include <boost/filesystem/path.hpp>
#include <boost/iostreams/device/back_inserter.hpp>
#include <boost/iostreams/device/file.hpp>
#include <boost/iostreams/filter/gzip.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include "platform/HostPath.h"
#include "util/Exception.h"

namespace io = boost::iostreams;

namespace kickstand {
namespace {

const char kPrefix[] = "kickstand.run-once=";
const size_t kPrefixLength = sizeof kPrefix - 1;

std::string SystemError(const std::string& what) {
  return what + ": " + strerror(errno);
}

/// The whole gzip file, built in memory so that every byte of it is
/// written with a checked write: a file sink hides a short write.
std::string Compressed(const std::set<std::string>& keys) {
  std::string bytes;
  io::filtering_ostream out;
  out.push(io::gzip_compressor());
  out.push(io::back_inserter(bytes));
  out << kPrefix;
  for (const std::string& key : keys)
    out << key << ",";
  out << std::endl;
  out.reset();
  return bytes;
}

/// Fsyncs the directory so that the rename survives a crash.
void SyncDirectory(const std::string& directory) {
  int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0 || fsync(fd) != 0) {
    std::string error = SystemError("unable to sync directory '" + directory + "'");
    if (fd >= 0)
      close(fd);
    throw Exception(error);
  }
  close(fd);
}

/// A file created next to the record; removed unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : name_(target + ".XXXXXX") {
    fd_ = mkstemp(&name_[0]);
    if (fd_ < 0)
      throw Exception(SystemError("unable to create temporary file to write '" + target + "'"));
    fchmod(fd_, 0644);
  }
  ~TemporaryFile() {
    close(fd_);
    if (!renamed_)
      unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        if (n == 0)
          errno = ENOSPC;
        throw Exception(SystemError("unable to write '" + name_ + "'"));
      }
      done += static_cast<size_t>(n);
    }
  }

  void SyncAndRename(const std::string& target) {
    if (fsync(fd_) != 0)
      throw Exception(SystemError("unable to sync '" + name_ + "'"));
    if (rename(name_.c_str(), target.c_str()) != 0)
      throw Exception(SystemError("unable to rename '" + name_ + "' to '" + target + "'"));
    renamed_ = true;
  }

 private:
  std::string name_;
  int fd_;
  bool renamed_ = false;
};

}  // namespace

std::string RunOnceRecord::Path() {
  return platform::HostPath("/bootbank/kickstnd.gz");
}

void RunOnceRecord::Write(const std::set<std::string>& keys) {
  std::string path = Path();
  TemporaryFile temporary(path);
  temporary.Write(Compressed(keys));
  temporary.SyncAndRename(path);
  SyncDirectory(boost::filesystem::path(path).parent_path().string());
}

void RunOnceRecord::Read(std::set<std::string>& keys) {
  io::filtering_istream in;
  in.push(io::gzip_decompressor());
  in.push(io::file_source(Path(), std::ios_base::in));
  ReadKeys(in, keys);
}

void RunOnceRecord::ReadKeys(std::istream& text, std::set<std::string>& keys) {
  char prefix[32] = {};
  text.read(prefix, kPrefixLength);
  if (!text || memcmp(prefix, kPrefix, kPrefixLength) != 0)
    return;
  for (std::string token; std::getline(text, token, ',');) {
    boost::algorithm::trim(token);
    if (!token.empty())
      keys.insert(token);
  }
}

}  // namespace kickstand
