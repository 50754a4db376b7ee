#include "daemons/LegacyDaemonPlugin.h"

#include "graph/PriorityBarrier.h"
#include "util/Exception.h"
#include "util/GlobalLock.h"

namespace kickstand {

LegacyDaemonPlugin::LegacyDaemonPlugin(const PluginContext& context, const std::string& name,
                                       const std::string& scriptPath, uint32_t priority)
    : DaemonPlugin(context, name, priority, 3) {
  ScopedLock lock;
  PriorityBarrier* barrier = PriorityBarrier::Get(context.graph, priority);
  if (!barrier)
    throw Exception("the barrier of priority " + std::to_string(priority) +
                    " is not a priority barrier");
  commands_[kStartCommand] = scriptPath + " ++group=init/" + name + " start";
  commands_[kStopCommand] = scriptPath + " stop";
  barrier->AddMember(this);
}

void LegacyDaemonPlugin::ApplyHostProfile() {
  throw NotImplementedException("LegacyDaemonPlugin::ApplyHostProfile");
}

}  // namespace kickstand
