#include "plugins/DebugConfigurationCache.h"

#include <sys/stat.h>

#include "util/RegularFileStream.h"

namespace kickstand {

bool DebugConfigurationCache::Identity::operator==(const Identity& other) const {
  auto same = [](const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
  };
  return device == other.device && inode == other.inode && size == other.size &&
         same(modified, other.modified) && same(changed, other.changed);
}

std::optional<DebugConfigurationCache::Identity> DebugConfigurationCache::Identify(
    const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0)
    return std::nullopt;
  return Identity{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

const std::vector<DebugEntry>& DebugConfigurationCache::Read() {
  std::optional<Identity> now = Identify(path_);
  if (!now || !identity_ || !(*now == *identity_))
    Parse();
  identity_ = now;
  return parsed_.Replay();
}

// A file that cannot be opened, or is no regular file, has no entries.
void DebugConfigurationCache::Parse() {
  RegularFileStream file(path_);
  parsed_ = file.is_open() ? ParseDebugConfiguration(file) : ParsedDebugConfiguration();
  byName_.clear();
  for (size_t i = 0; i < parsed_.entries.size(); ++i)
    byName_[parsed_.entries[i].name].push_back(i);
}

std::vector<const DebugEntry*> DebugConfigurationCache::Named(const std::string& name) const {
  std::vector<const DebugEntry*> named;
  auto found = byName_.find(name);
  if (found != byName_.end()) {
    for (size_t i : found->second)
      named.push_back(&parsed_.entries[i]);
  }
  return named;
}

}  // namespace kickstand
