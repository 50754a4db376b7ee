#pragma once
#include <cstdint>
#include <istream>
#include <set>
#include <string>
#include <vector>

namespace kickstand {

/// Everything a JSON plugin file declares, read completely before the
/// plugin touches any barrier.
struct JSONDescription {
  int32_t apiVersion = -1;
  std::vector<std::string> requiredBarriers;
  std::vector<std::string> providedBarriers;
  std::set<std::string> requiredFlags;
  std::set<std::string> disablingFlags;
  bool runOnce = false;
  std::string pluginVersion;
  std::vector<std::string> startCommands;
  bool supportsHostProfile = false;
  std::vector<std::string> hostProfileCommands;

  /// Throws InvalidPluginException naming path for the first problem found.
  static JSONDescription Parse(const std::string& path, std::istream& in);
};

}  // namespace kickstand
