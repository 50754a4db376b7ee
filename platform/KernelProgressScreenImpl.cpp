#include "platform/KernelProgressScreenImpl.h"

#include "platform/AppendLine.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"

namespace OzkCtl {
namespace System {
namespace {

void Show(const std::string& line) {
  platform::AppendLine(platform::HostPath(platform::paths::kProgress), line);
}

}  // namespace

void KernelProgressScreenImpl::ProgressText(const std::string& text) {
  Show("progress: " + text);
}

void KernelProgressScreenImpl::StatusText(const std::string& text) {
  Show("status: " + text);
}

void KernelProgressScreenImpl::Step() { Show("step"); }

}  // namespace System
}  // namespace OzkCtl
