#include "platform/HostPath.h"
#include "platform/HostPaths.h"

#include <cstdlib>
#include <boost/filesystem.hpp>

namespace platform {

const std::string& HostRoot() {
  static const std::string root = [] {
    const char* value = std::getenv("KICKSTAND_ROOT");
    std::string text = value ? value : "";
    // Absolute now: the program changes its working directory to "/".
    if (!text.empty())
      text = boost::filesystem::absolute(text).string();
    while (text.size() > 1 && text.back() == '/')
      text.pop_back();
    return text == "/" ? std::string() : text;
  }();
  return root;
}

std::string HostPath(const std::string& hostPath) {
  return HostRoot() + hostPath;
}

void EnsureRuntimeDirectories() {
  for (const char* dir : paths::kRuntimeDirectories) {
    boost::system::error_code ignored;
    boost::filesystem::create_directories(HostPath(dir), ignored);
  }
}

}  // namespace platform
