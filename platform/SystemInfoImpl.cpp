#include "platform/SystemInfoImpl.h"

#include "platform/AppendLine.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"

namespace OzkCtl {
namespace System {

void SystemInfoImpl::SetSystemAlert(const std::string& text) const {
  platform::AppendLine(platform::HostPath(platform::paths::kAlerts), text);
}

}  // namespace System
}  // namespace OzkCtl
