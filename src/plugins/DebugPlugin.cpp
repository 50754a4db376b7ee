#include "plugins/DebugPlugin.h"

#include <fstream>

#include "core/Process.h"
#include "graph/BarrierLinks.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "util/Exception.h"

namespace kickstand {

DebugPlugin::DebugPlugin(const PluginContext& context, const std::string& name,
                         const std::vector<std::string>& requiredBarriers,
                         const std::vector<std::string>& providedBarriers,
                         const std::string& command)
    : Plugin(context, name), command_(command) {
  LinkRequiredBarriers(context.graph, *this, requiredBarriers);
  LinkProvidedBarriers(context.graph, *this, providedBarriers);
  apiVersion_ = 1;
}

std::vector<DebugEntry> DebugPlugin::ReadConfiguration() {
  std::ifstream file(platform::HostPath(platform::paths::kDebugConfiguration));
  if (!file.is_open())
    return {};
  return ReadDebugConfiguration(file);
}

void DebugPlugin::Start() {
  int status = RunShellCommand(context_.spawner, command_, deadline_);
  bool exitCode = (status >> 8) & 0xff;
  bool signal = status & 0x7f;
  if (exitCode || signal)
    Log_Level(5, "debug injection '%s' returned %#08x\n", Name().c_str(),
              static_cast<unsigned>(status));
}

void DebugPlugin::ApplyHostProfile() {
  throw NotImplementedException("DebugPlugin::ApplyHostProfile");
}

}  // namespace kickstand
