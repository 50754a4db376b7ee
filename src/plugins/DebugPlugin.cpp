#include "plugins/DebugPlugin.h"

#include "core/Process.h"
#include "graph/BarrierLinks.h"
#include "platform/ExitStatus.h"
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

void DebugPlugin::Start() {
  // The message shows the raw wait status, as the shell's caller got it.
  platform::ExitStatus status(RunShellCommand(context_.spawner, command_, deadline_));
  if (!status.Succeeded())
    Log_Level(5, "debug injection '%s' returned %#08x\n", Name().c_str(),
              static_cast<unsigned>(status.Raw()));
}

void DebugPlugin::ApplyHostProfile() {
  throw NotImplementedException("DebugPlugin::ApplyHostProfile");
}

}  // namespace kickstand
