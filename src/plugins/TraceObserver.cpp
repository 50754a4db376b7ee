#include "plugins/TraceObserver.h"

#include "platform/Log.h"
#include "plugins/Plugin.h"

namespace kickstand {

void TraceObserver::Started(const Plugin& plugin) {
  Log_Level(5, "starting execution of plugin: %s\n", plugin.Name().c_str());
}

void TraceObserver::Finished(const Plugin& plugin, const std::optional<std::string>&) {
  Log_Level(5, "completed execution of plugin: %s (took %lld us)\n", plugin.Name().c_str(),
            static_cast<long long>(plugin.DurationUs()));
}

}  // namespace kickstand
