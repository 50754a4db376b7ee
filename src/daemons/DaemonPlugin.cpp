#include "daemons/DaemonPlugin.h"

#include "core/Clock.h"
#include "core/KernelLog.h"
#include "core/RunOptions.h"
#include "daemons/DaemonCommand.h"
#include "platform/Log.h"
#include "util/Exception.h"

namespace kickstand {

DaemonPlugin::DaemonPlugin(const PluginContext& context, const std::string& name,
                           uint32_t priority, uint32_t schedulingClass)
    : Plugin(context, name, schedulingClass), priority_(priority) {}

void DaemonPlugin::Deactivate() {
  if (RunInterrupted())
    return;  // no daemon is stopped after the signal
  const char* name = Name().c_str();
  KernelLogMessage("Deactivating Daemon %s.", name);
  Log_Level(5, "executing stop for daemon %s.\n", name);
  try {
    Stop();
    KernelLogMessage("Daemon %s deactivated.", name);
  } catch (const std::exception& e) {
    KernelLogMessage("Daemon %s deactivation failed: %s", name, e.what());
  }
}

void DaemonPlugin::Start() {
  try {
    RunCommand(GetCommand(kStartCommand));
  } catch (const std::exception& e) {
    Log_Level(3, "Kickstand failed to start: %s reason: %s\n", Name().c_str(), e.what());
    throw MethodFailedException("start", Name(), e.what());
  }
  Log_Level(5, "%s started.\n", Name().c_str());
}

void DaemonPlugin::Stop() {
  try {
    RunCommand(GetCommand(kStopCommand));
  } catch (const std::exception& e) {
    Log_Level(3, "Kickstand failed to stop: %s reason: %s\n", Name().c_str(), e.what());
    throw;
  }
  Log_Level(5, "%s stopped.\n", Name().c_str());
}

void DaemonPlugin::ApplyHostProfile() {
  throw NotImplementedException("DaemonPlugin::ApplyHostProfile");
}

void DaemonPlugin::Restart() { throw NotImplementedException("DaemonPlugin::Restart"); }

void DaemonPlugin::SSLReset() { throw NotImplementedException("DaemonPlugin::SSLReset"); }

const std::string& DaemonPlugin::GetCommand(int32_t key) const {
  auto found = commands_.find(key);
  if (found == commands_.end())
    throw Exception(Name() + " Daemon operations are not initialized");
  return found->second;
}

void DaemonPlugin::RunCommand(const std::string& commandLine) {
  const RunOptions& options = context_.options;
  DaemonCommand command(context_.spawner, context_.clock, options.daemonWait,
                        options.daemonWaitTimeout, context_.interruption);
  command.Run(commandLine, options.environment);
}

}  // namespace kickstand
