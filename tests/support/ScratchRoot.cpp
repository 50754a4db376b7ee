#include "support/ScratchRoot.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <stdexcept>
#include <unistd.h>
#include <boost/filesystem.hpp>

namespace testing_support {

const std::string& ScratchRoot() {
  static const std::string root = [] {
    char pattern[] = "/tmp/ksu.XXXXXX";
    if (!mkdtemp(pattern))
      throw std::runtime_error("mkdtemp failed");
    setenv("KICKSTAND_ROOT", pattern, 1);
    boost::filesystem::create_directories(std::string(pattern) + "/var/log");
    static pid_t owner = getpid();
    // Forked children that exit normally must not take the tree with them.
    std::atexit([] {
      if (getpid() == owner)
        boost::filesystem::remove_all(std::getenv("KICKSTAND_ROOT"));
    });
    return std::string(pattern);
  }();
  return root;
}

std::string ReadScratchFile(const std::string& hostPath) {
  std::ifstream file(ScratchRoot() + hostPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteScratchFile(const std::string& hostPath, const std::string& content, mode_t mode) {
  std::string path = ScratchRoot() + hostPath;
  boost::filesystem::create_directories(boost::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  chmod(path.c_str(), mode);
}

void ClearScratchLogs() {
  for (const char* file : {"/var/log/alerts.log", "/var/log/kernel.log", "/var/log/progress.log"})
    boost::filesystem::remove(ScratchRoot() + file);
}

}  // namespace testing_support
