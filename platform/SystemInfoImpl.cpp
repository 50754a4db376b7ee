#include "platform/SystemInfoImpl.h"

#include "platform/AppendLine.h"
#include "platform/HostPath.h"

namespace OzkCtl {
namespace System {

void SystemInfoImpl::SetSystemAlert(const std::string& text) const {
  platform::AppendLine(platform::HostPath("/var/log/alerts.log"), text);
}

}  // namespace System
}  // namespace OzkCtl
