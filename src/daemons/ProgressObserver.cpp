#include "daemons/ProgressObserver.h"

#include "platform/KernelProgressScreenImpl.h"
#include "plugins/Plugin.h"

namespace kickstand {

void ProgressObserver::Started(const Plugin& plugin) {
  OzkCtl::System::KernelProgressScreenImpl().ProgressText("Starting service " + plugin.Name());
}

void ProgressObserver::Finished(const Plugin&, const std::optional<std::string>&) {
  OzkCtl::System::KernelProgressScreenImpl().Step();
}

}  // namespace kickstand
