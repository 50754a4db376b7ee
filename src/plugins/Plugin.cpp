#include "plugins/Plugin.h"

#include <boost/filesystem.hpp>

#include "core/KernelLog.h"
#include "core/RunOptions.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "plugins/InteractivePrompt.h"
#include "util/Exception.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

bool Exists(const char* hostPath) {
  boost::system::error_code error;
  auto type = boost::filesystem::symlink_status(platform::HostPath(hostPath), error).type();
  return type != boost::filesystem::file_not_found && type != boost::filesystem::status_error;
}

}  // namespace

bool HostProfilePresent() {
  static bool tested = false;
  static bool present = false;
  ScopedLock lock;
  if (!tested) {
    present = Exists(platform::paths::kHostProfile) || Exists(platform::paths::kCompressedHostProfile);
    tested = true;
  }
  return present;
}

Plugin::Plugin(const std::string& name, uint32_t schedulingClass)
    : Node(name, schedulingClass) {}

int64_t Plugin::DurationUs() const {
  return (static_cast<int64_t>(endTime_.tv_sec) - startTime_.tv_sec) * 1000000 +
         (endTime_.tv_usec - startTime_.tv_usec);
}

void Plugin::Activate() {
  RunOptions& options = RunOptions::Instance();
  gettimeofday(&startTime_, nullptr);
  if (options.interactive && InteractivePrompt::Ask(*this) == InteractivePrompt::Skip)
    return;
  const char* name = Name().c_str();
  if (options.trace)
    Log_Level(5, "starting execution of plugin: %s\n", name);
  KernelLogMessage("Activating Kickstand plugin %s.", name);
  std::string failure;
  bool succeeded = RunWork(failure);
  gettimeofday(&endTime_, nullptr);
  if (options.trace)
    Log_Level(5, "completed execution of plugin: %s (took %lld us)\n", name,
              static_cast<long long>(DurationUs()));
  if (succeeded)
    KernelLogMessage("Kickstand plugin %s activated.", name);
  else
    KernelLogMessage("Kickstand plugin %s activation failed: %s", name, failure.c_str());
}

bool Plugin::RunWork(std::string& failure) {
  const std::string& method = RunOptions::Instance().method;
  try {
    if (method.empty()) {
      RunDefaultOperation();
      return true;
    }
    if (InvokeMethod(method))
      return true;
    failure = "Method invocation failed";
  } catch (const MethodFailedException& e) {
    Log_Level(2, "Method invocation failed: %s\n", e.what());
    failure = e.what();
  } catch (const std::exception& e) {
    Log_Level(2, "unhandled exception whilst processing %s: %s\n", Name().c_str(), e.what());
    failure = e.what();
  } catch (...) {
    Log_Level(2, "ignoring unknown exception whilst processing %s ...\n", Name().c_str());
    failure = "unknown exception";
  }
  return false;
}

void Plugin::RunDefaultOperation() {
  if (SupportsHostProfile() && HostProfilePresent()) {
    Log_Level(5, "executing host profile plugin: %s\n", Name().c_str());
    ApplyHostProfile();
  } else {
    Log_Level(5, "executing start plugin: %s\n", Name().c_str());
    Start();
  }
}

bool Plugin::InvokeMethod(const std::string& method) {
  const char* name = Name().c_str();
  try {
    if (method == "start") {
      Log_Level(5, "executing start plugin: %s\n", name);
      Start();
    } else if (method == "apply_host_profile") {
      Log_Level(5, "executing host profile plugin: %s\n", name);
      ApplyHostProfile();
    }
    return true;
  } catch (const MethodFailedException& e) {
    Log_Level(2, "Method invocation failed: %s\n", e.what());
  } catch (const std::exception& e) {
    Log_Level(2, "unable to invoke method '%s' on plugin '%s': %s\n", method.c_str(), name,
              e.what());
  } catch (...) {
    Log_Level(2, "unknown exception whilst attempting to execute method '%s' on plugin '%s'\n",
              method.c_str(), name);
  }
  return false;
}

}  // namespace kickstand
