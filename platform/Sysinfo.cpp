#include "platform/Sysinfo.h"

#include <cerrno>
#include <cstring>

#include "platform/AppendLine.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/PilotException.h"

namespace OzkCtl {

const unsigned short ZSI_NODE_system_log = 1;

namespace Util {

Sysinfo::Sysinfo(unsigned int node) : node_(node) {}

void Sysinfo::AddInput(std::string_view input) {
  input_.assign(input.data(), input.size());
}

void Sysinfo::Set() {
  if (node_ != ZSI_NODE_system_log)
    throw Pilot::Lib::PilotException("unknown system information node");
  std::string path = platform::HostPath(platform::paths::kKernelLog);
  if (!platform::AppendLine(path, input_))
    throw Pilot::Lib::PilotException(path + ": " + std::strerror(errno));
}

}  // namespace Util
}  // namespace OzkCtl
