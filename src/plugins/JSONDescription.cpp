#include "plugins/JSONDescription.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "util/Exception.h"

namespace kickstand {
namespace {

using nlohmann::json;

/// The checks of one description, in the order their reasons are reported.
class DescriptionReader {
 public:
  explicit DescriptionReader(const std::string& path) : path_(path) {}
  JSONDescription Read(std::istream& in) const;

 private:
  [[noreturn]] void Reject(const std::string& reason) const {
    throw InvalidPluginException(path_, reason);
  }
  const json& Object(const json& parent, const char* key, const char* reason) const;
  void ReadVersion(const json& metadata, JSONDescription& description) const;
  void ReadVersion3Fields(const json& metadata, JSONDescription& description) const;
  std::vector<std::string> Names(const json& list, const std::string& key) const;
  std::vector<std::string> RequiredNames(const json& metadata, const std::string& key) const;
  void ReadOperations(const json& root, JSONDescription& description) const;
  std::vector<std::string> Commands(const json& list) const;

  const std::string& path_;
};

JSONDescription DescriptionReader::Read(std::istream& in) const {
  json root = json::parse(in, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/true);
  if (!root.is_object())
    Reject("plugin root is not an object");
  const json& metadata = Object(root, "metadata", "invalid metadata interface");
  JSONDescription description;
  ReadVersion(metadata, description);
  description.requiredBarriers = RequiredNames(metadata, "requires");
  description.providedBarriers = RequiredNames(metadata, "provides");
  if (description.apiVersion >= 3)
    ReadVersion3Fields(metadata, description);
  ReadOperations(root, description);
  return description;
}

const json& DescriptionReader::Object(const json& parent, const char* key,
                                      const char* reason) const {
  auto found = parent.find(key);
  if (found == parent.end() || !found->is_object())
    Reject(reason);
  return *found;
}

void DescriptionReader::ReadVersion(const json& metadata, JSONDescription& description) const {
  auto found = metadata.find("version");
  if (found == metadata.end() || !found->is_number())
    Reject("metadata is corrupt (unable to parse version)");
  // Compared before the conversion: a huge number must not overflow it.
  double version = std::trunc(found->get<double>());
  if (!(version >= 1 && version <= 4))
    Reject("Unsupported API version");
  description.apiVersion = static_cast<int32_t>(version);
}

std::vector<std::string> DescriptionReader::Names(const json& list,
                                                  const std::string& key) const {
  if (!list.is_array())
    Reject("metadata is corrupt (unable to parse " + key + ")");
  std::vector<std::string> names;
  for (const json& element : list) {
    if (!element.is_string())
      Reject(key + " tag is not a string");
    names.push_back(element.get<std::string>());
  }
  return names;
}

std::vector<std::string> DescriptionReader::RequiredNames(const json& metadata,
                                                          const std::string& key) const {
  auto found = metadata.find(key);
  if (found == metadata.end())
    Reject("metadata is corrupt (unable to parse " + key + ")");
  return Names(*found, key);
}

void DescriptionReader::ReadVersion3Fields(const json& metadata,
                                           JSONDescription& description) const {
  std::pair<const char*, std::set<std::string>*> flagSets[] = {
      {"required_flags", &description.requiredFlags},
      {"disabling_flags", &description.disablingFlags}};
  for (auto& [key, into] : flagSets) {
    auto found = metadata.find(key);
    if (found == metadata.end())
      continue;
    std::vector<std::string> flags = Names(*found, key);
    into->insert(flags.begin(), flags.end());
  }
  auto runOnce = metadata.find("run_once");
  if (runOnce == metadata.end() || !runOnce->is_boolean())
    Reject("metadata is corrupt (unable to parse run_once)");
  description.runOnce = runOnce->get<bool>();
  auto version = metadata.find("plugin_version");
  if (version == metadata.end() || !version->is_string())
    Reject("metadata is corrupt (unable to parse plugin_version)");
  description.pluginVersion = version->get<std::string>();
}

void DescriptionReader::ReadOperations(const json& root, JSONDescription& description) const {
  const json& operations = Object(root, "operations", "invalid operations interface");
  auto start = operations.find("start");
  if (start == operations.end() || !start->is_array())
    Reject("operations is corrupt (unable to parse start)");
  description.startCommands = Commands(*start);
  auto hostProfile = operations.find("apply_host_profile");
  if (description.apiVersion < 2 || hostProfile == operations.end())
    return;
  if (!hostProfile->is_array())
    Reject("operations is corrupt (unable to parse apply-host-profile)");
  description.hostProfileCommands = Commands(*hostProfile);
  description.supportsHostProfile = true;
}

std::vector<std::string> DescriptionReader::Commands(const json& list) const {
  std::vector<std::string> commands;
  for (const json& element : list) {
    if (!element.is_string())
      Reject("command is not a string");
    commands.push_back(element.get<std::string>());
  }
  return commands;
}

}  // namespace

JSONDescription JSONDescription::Parse(const std::string& path, std::istream& in) {
  return DescriptionReader(path).Read(in);
}

}  // namespace kickstand
