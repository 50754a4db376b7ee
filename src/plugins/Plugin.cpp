#include "plugins/Plugin.h"

#include <boost/filesystem.hpp>

#include "core/Clock.h"
#include "core/RunOptions.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "plugins/ActivationObserver.h"
#include "plugins/InteractivePrompt.h"
#include "util/Exception.h"
#include "util/GlobalLock.h"
#include "util/Interruption.h"

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

Plugin::Plugin(const PluginContext& context, const std::string& name, uint32_t schedulingClass)
    : Node(name, schedulingClass), context_(context) {}

int64_t Plugin::DurationUs() const {
  return Microseconds(endTime_) - Microseconds(startTime_);
}

void Plugin::Activate() {
  if (RunInterrupted())
    return;  // its times stay zero: it never ran
  startTime_ = context_.clock.Now();
  if (Skipped())
    return;
  context_.observer.Started(*this);
  deadline_ = Deadline(context_.clock, context_.options.pluginTimeout, context_.interruption);
  std::optional<std::string> failure = RunWork();
  endTime_ = context_.clock.Now();
  context_.observer.Finished(*this, failure);
}

bool Plugin::RunInterrupted() const {
  return context_.interruption && context_.interruption->Interrupted();
}

bool Plugin::Skipped() {
  return context_.options.interactive && context_.prompt &&
         context_.prompt->Step(Name()) == InteractivePrompt::Skip;
}

std::optional<std::string> Plugin::RunWork() {
  const std::string& method = context_.options.method;
  try {
    if (method.empty()) {
      RunDefaultOperation();
      return std::nullopt;
    }
    if (InvokeMethod(method))
      return std::nullopt;
    return "Method invocation failed";
  } catch (const TimedOutException& e) {
    ReportTimeout(e.what());
    return std::string(e.what());
  } catch (const InterruptedException& e) {
    return std::string(e.what());
  } catch (const MethodFailedException& e) {
    Log_Level(2, "Method invocation failed: %s\n", e.what());
    return std::string(e.what());
  } catch (const std::exception& e) {
    Log_Level(2, "unhandled exception whilst processing %s: %s\n", Name().c_str(), e.what());
    return std::string(e.what());
  } catch (...) {
    Log_Level(2, "ignoring unknown exception whilst processing %s ...\n", Name().c_str());
    return "unknown exception";
  }
}

// The kernel log hears of it as the failure; the log and the host alert
// name the plugin.
void Plugin::ReportTimeout(const std::string& what) {
  Log_Level(2, "plugin %s %s\n", Name().c_str(), what.c_str());
  if (context_.alert)
    context_.alert("Kickstand plugin " + Name() + " " + what);
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
  } catch (const CutShortException&) {
    throw;
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
