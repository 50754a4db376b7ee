#include "plugins/KernelLogObserver.h"

#include "core/KernelLog.h"
#include "plugins/Plugin.h"

namespace kickstand {

void KernelLogObserver::Started(const Plugin& plugin) {
  KernelLogMessage("Activating Kickstand plugin %s.", plugin.Name().c_str());
}

void KernelLogObserver::Finished(const Plugin& plugin,
                                 const std::optional<std::string>& failure) {
  if (failure)
    KernelLogMessage("Kickstand plugin %s activation failed: %s", plugin.Name().c_str(),
                     failure->c_str());
  else
    KernelLogMessage("Kickstand plugin %s activated.", plugin.Name().c_str());
}

}  // namespace kickstand
