#pragma once
#include <cstdint>
#include <string>

#include "daemons/DaemonPlugin.h"

namespace kickstand {

/// An init.d service: its commands call the init.d script, and it is
/// ordered only by its start priority, through the priority chain.
class LegacyDaemonPlugin : public DaemonPlugin {
 public:
  /// Joins the priority chain; throws when the barrier name of the
  /// priority is taken by a barrier of another kind.
  LegacyDaemonPlugin(const PluginContext& context, const std::string& name,
                     const std::string& scriptPath, uint32_t priority);

  void ApplyHostProfile() override;
};

}  // namespace kickstand
