#pragma once
#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plugins/DebugConfiguration.h"

namespace kickstand {

/// The debug configuration as discovery reads it, once per plugin file: the
/// file is parsed again only when it has changed (another device, inode,
/// size, modification or status-change time), so every read sees the file
/// as it is at no more than the cost of a stat. A read of an unchanged file
/// repeats what reading it gave: the same malformed-line messages, the same
/// entries or the same exception.
class DebugConfigurationCache {
 public:
  explicit DebugConfigurationCache(std::string path) : path_(std::move(path)) {}

  /// The entries in file order; none when the file cannot be opened. Throws
  /// boost::escaped_list_error for a bad escape.
  const std::vector<DebugEntry>& Read();
  /// The entries of that name that the last Read returned, in file order.
  std::vector<const DebugEntry*> Named(const std::string& name) const;

 private:
  struct Identity {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified, changed;
    bool operator==(const Identity& other) const;
  };

  static std::optional<Identity> Identify(const std::string& path);
  void Parse();

  std::string path_;
  std::optional<Identity> identity_;  // of the file that parsed_ was read from
  ParsedDebugConfiguration parsed_;
  std::unordered_map<std::string, std::vector<size_t>> byName_;
};

}  // namespace kickstand
