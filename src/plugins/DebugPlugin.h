#pragma once
#include <string>
#include <vector>

#include "plugins/DebugConfiguration.h"
#include "plugins/Plugin.h"

namespace kickstand {

/// A shell command from the debug configuration, run as a plugin. Its
/// failure is only logged: dependants always follow.
class DebugPlugin : public Plugin {
 public:
  DebugPlugin(const PluginContext& context, const std::string& name,
              const std::vector<std::string>& requiredBarriers,
              const std::vector<std::string>& providedBarriers, const std::string& command);
  DebugPlugin(const PluginContext& context, const DebugEntry& entry)
      : DebugPlugin(context, entry.name, entry.requiredBarriers, entry.providedBarriers,
                    entry.command) {}

  void Start() override;
  bool SupportsHostProfile() override { return false; }
  void ApplyHostProfile() override;

 private:
  std::string command_;
};

}  // namespace kickstand
