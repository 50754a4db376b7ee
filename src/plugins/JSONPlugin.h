#pragma once
#include <string>
#include <vector>

#include "plugins/Plugin.h"

namespace kickstand {

struct JSONDescription;

/// A plugin described by a JSON file whose operations are command lines,
/// run by the context's command line runner (the command executor process).
class JSONPlugin : public Plugin {
 public:
  /// Throws InvalidPluginException when the file cannot be used; barriers
  /// are linked only once the whole description was accepted.
  JSONPlugin(const PluginContext& context, const std::string& name, const std::string& path);

  void Start() override;
  bool SupportsHostProfile() override;
  void ApplyHostProfile() override;

 private:
  void Accept(JSONDescription& description);

  std::vector<std::string> startCommands_;
  bool supportsHostProfile_ = false;
  std::vector<std::string> hostProfileCommands_;
};

}  // namespace kickstand
