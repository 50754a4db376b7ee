#include "support/ScratchRoot.h"

#include <cstdlib>
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

void ClearScratchLogs() {
  for (const char* file : {"/var/log/alerts.log", "/var/log/kernel.log", "/var/log/progress.log"})
    boost::filesystem::remove(ScratchRoot() + file);
}

}  // namespace testing_support
