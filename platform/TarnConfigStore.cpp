#include "platform/TarnConfigStore.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/AppendLine.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"

namespace TarnConfigStore {
namespace {

void Record(const std::string& file, const std::string& operation) {
  std::string path = platform::HostPath(platform::paths::kConfigStore + file);
  if (!platform::AppendLine(path, operation))
    throw std::runtime_error(path + ": " + std::strerror(errno));
}

}  // namespace

void EndAutoConf() { Record("end-autoconf", "EndAutoConf"); }

void CleanupBootState() { Record("cleanup-boot-state", "CleanupBootState"); }

}  // namespace TarnConfigStore
