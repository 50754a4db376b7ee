#include "driver/BootRun.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "commandexec/TarncliExecutor.h"
#include "core/Process.h"
#include "daemons/InitScriptList.h"
#include "daemons/LegacyDaemonPlugin.h"
#include "driver/Logging.h"
#include "driver/ProfilingLog.h"
#include "driver/RunOnceRecord.h"
#include "driver/SyslogDaemon.h"
#include "graph/CycleBreaker.h"
#include "graph/Executor.h"
#include "graph/InitBarrier.h"
#include "platform/HostPath.h"
#include "platform/KernelProgressScreenImpl.h"
#include "platform/Log.h"
#include "platform/ProcessorCount.h"
#include "platform/TarnConfigStore.h"
#include "plugins/DebugPlugin.h"
#include "plugins/Plugin.h"
#include "plugins/PluginLoader.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

bool StatelessMarkerPresent() {
  boost::system::error_code error;
  auto type = boost::filesystem::status(platform::HostPath("/stateless.tgz"), error).type();
  return type != boost::filesystem::status_error && type != boost::filesystem::file_not_found;
}

// The init run starts these two itself; daemon mode leaves them alone.
bool IsInitProgram(const std::string& serviceName) {
  return serviceName == "ozsyslogd" || serviceName == "evtd";
}

/// Null when the constructor failed (reported).
Plugin* CreateDaemonPlugin(const std::string& name, const std::string& path, int32_t priority) {
  try {
    return new LegacyDaemonPlugin(name, path, static_cast<uint32_t>(priority));
  } catch (const std::exception& e) {
    Log_Level(3, "Failed to create init.d daemon plugin: %s because: %s\n", name.c_str(),
              e.what());
  } catch (...) {
    Log_Level(3, "Failed to create init.d daemon plugin: %s\n", name.c_str());
  }
  return nullptr;
}

void RunHostProgram(const char* hostPath, const char* argument, char** envp) {
  std::string path = platform::HostPath(hostPath);
  char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument), nullptr};
  RunProgram(argv, envp);
}

}  // namespace

BootRun::BootRun(int argc, char** argv, char** envp)
    : argc_(argc), argv_(argv), options_(RunOptions::Instance()) {
  options_.environment = envp;
}

int BootRun::Run() {
  int status = 0;
  if (!Initialise(status))
    return status;
  if (selections_.init)
    RunInitPrograms();
  if (!selections_.daemon && !StartCommandExecutor())
    return 1;
  EnterRootDirectory();
  BuildAndRunGraph();
  gettimeofday(&endTime_, nullptr);
  WriteProfilingLog();
  if (selections_.init)
    HandleSystemLogDaemon();
  if (!selections_.daemon)
    EndBoot();
  return success_ ? 0 : 1;
}

bool BootRun::Initialise(int& status) {
  gettimeofday(&startTime_, nullptr);
  sysinfo(&systemInfo_);
  try {
    SetupLogging("kickstand");
  } catch (const std::exception& e) {
    Log_Level(3, "Failed to initialize kickstand: %s\n", e.what());
    status = 1;
    return false;
  } catch (...) {
    Log_Level(3, "Failed to initialize kickstand\n");
    status = 1;
    return false;
  }
  CommandLine::Outcome outcome = CommandLine::Parse(argc_, argv_, options_, selections_);
  status = outcome == CommandLine::Outcome::ExitSuccess ? 0 : 1;
  success_ = selections_.dump;
  if (outcome != CommandLine::Outcome::Run)
    return false;
  platform::EnsureRuntimeDirectories();
  return true;
}

void BootRun::RunInitPrograms() {
  RunHostProgram("/usr/lib/halvex/ozsyslog/bin/ozsyslogd", "-i", options_.environment);
  RunHostProgram("/etc/init.d/evtd", "start", options_.environment);
}

bool BootRun::StartCommandExecutor() {
  Log_Level(5, "Launching Executor\n");
  try {
    TarncliExecutor::GetInstance()->Start();
  } catch (const std::exception& e) {
    Log_Level(3, "Failed to start executor %s\n", e.what());
    return false;
  } catch (...) {
    Log_Level(3, "Failed to start executor\n");
    return false;
  }
  return true;
}

void BootRun::EnterRootDirectory() {
  // Without a working directory a relative one stays relative and fails,
  // with a message, when it is enumerated. An empty one stays empty and
  // fails the same way; made absolute, it would name the start directory.
  boost::system::error_code error;
  boost::filesystem::path start = boost::filesystem::current_path(error);
  boost::filesystem::path directory(selections_.pluginDirectory);
  if (!error && !directory.empty())
    directory = boost::filesystem::absolute(directory, start);
  options_.pluginDirectory = directory.string();
  if (chdir("/") != 0)
    Log_Level(5, "unable to change filesystem root: %s.\n", strerror(errno));
  if (setsid() < 0)
    Log_Level(5, "unable to create session: %s.\n", strerror(errno));
}

void BootRun::BuildAndRunGraph() {
  try {
    LoadNodes();
    if (StatelessMarkerPresent())
      options_.parallel = false;
    ChooseThreadCount();
    if (selections_.dump)
      DumpGraph();
    else
      RunGraph();
  } catch (const std::exception& e) {
    Log_Level(2, "unhandled exception whilst enumerating plugins.\nDetails:\n %s \n\n", e.what());
    success_ = false;
  }
}

void BootRun::LoadNodes() {
  std::deque<Plugin*> loaded;
  if (selections_.daemon)
    LoadDaemonNodes(loaded);
  else
    LoadPlugins(loaded);
  nodes_.swap(loaded);
}

void BootRun::LoadPlugins(std::deque<Plugin*>& loaded) {
  if (options_.invoke)
    RunOnceRecord::Read(selections_.runOnceKeys);
  std::set<std::string> flags = selections_.pluginFlags;
  auto load = [&](const std::string& fileName) {
    LoadPlugin(fileName, loaded, flags, options_.disabledPlugins, selections_.runOnceKeys,
               options_);
  };
  if (!selections_.pluginNames.empty()) {
    for (const std::string& name : selections_.pluginNames)
      load(name);
    return;
  }
  std::vector<DebugEntry> debugEntries = DebugPlugin::ReadConfiguration();
  for (const auto& entry : boost::filesystem::directory_iterator(options_.pluginDirectory))
    load(entry.path().filename().string());
  for (const DebugEntry& entry : debugEntries)
    loaded.push_back(new DebugPlugin(entry));
}

void BootRun::LoadDaemonNodes(std::deque<Plugin*>& loaded) {
  for (const auto& [priority, path] : ListInitScripts()) {
    std::string name = boost::filesystem::path(path).filename().string();
    if (IsInitProgram(name))
      continue;
    if (Plugin* plugin = CreateDaemonPlugin(name, path, priority))
      loaded.push_back(plugin);
  }
}

void BootRun::ChooseThreadCount() {
  if (!options_.parallel)
    return;
  uint32_t processors = 2 * platform::ProcessorCount();
  options_.threadCount = std::min<uint32_t>(processors, static_cast<uint32_t>(nodes_.size()));
}

void BootRun::DumpGraph() {
  std::ofstream file;
  if (selections_.dumpPath) {
    file.open(*selections_.dumpPath);
    if (!file.is_open()) {
      success_ = false;
      return;
    }
  }
  std::ostream& out = selections_.dumpPath ? file : std::cout;
  out << "digraph g {" << std::endl;
  for (Plugin* node : nodes_)
    node->Dump(out);
  for (InitBarrier* barrier : InitBarrier::All())
    barrier->Dump(out);
  out << "}" << std::endl;
}

void BootRun::RunGraph() {
  std::vector<Node*> roots(nodes_.begin(), nodes_.end());
  for (InitBarrier* barrier : InitBarrier::All())
    roots.push_back(barrier);
  CycleBreaker::BreakCycles(roots);
  Executor executor(static_cast<int>(options_.threadCount), options_.randomize,
                    static_cast<uint64_t>(options_.randomSeed));
  ScheduleAndWait(executor);
  success_ = true;
}

void BootRun::ScheduleAndWait(Executor& executor) {
  if (selections_.stop) {
    StopAndWait(executor);
    return;
  }
  if (!selections_.daemon) {
    OzkCtl::System::KernelProgressScreenImpl screen;
    screen.ProgressText("Activating Kickstand Plugins");
    screen.StatusText("");
  }
  {
    // Workers choose only once every node is scheduled, so that a serial
    // run with a given seed takes the same order every time.
    ScopedLock lock;
    for (Plugin* node : nodes_)
      node->ScheduleStart(executor);
  }
  for (Plugin* node : nodes_)
    node->WaitStarted();
  if (!selections_.daemon)
    RunOnceRecord::Write(selections_.runOnceKeys);
}

// A node stops only after every node that depends on it has stopped.
void BootRun::StopAndWait(Executor& executor) {
  {
    ScopedLock lock;
    for (Plugin* node : nodes_)
      node->ScheduleStop(executor);
  }
  for (Plugin* node : nodes_)
    node->WaitStopped();
}

void BootRun::WriteProfilingLog() {
  if (options_.invoke)
    return;
  ProfilingLog log(platform::HostPath("/var/log/sysboot.log"));
  ProfilingRecord record =
      ProfilingRecord::FromRun(startTime_, endTime_, systemInfo_.uptime, nodes_, options_);
  if (selections_.daemon)
    log.AppendDaemonSection(record);
  else
    log.WriteFresh(record);
}

void BootRun::HandleSystemLogDaemon() {
  SyslogDaemon::UpgradeAndReload();
}

void BootRun::StopCommandExecutor() {
  try {
    TarncliExecutor::GetInstance()->Stop();
  } catch (const std::exception& e) {
    Log_Level(2, "Failed to stop Executor: %s\n", e.what());
    success_ = false;
  } catch (...) {
    Log_Level(2, "Failed to stop Executor\n");
    success_ = false;
  }
}

void BootRun::EndBoot() {
  StopCommandExecutor();
  try {
    TarnConfigStore::EndAutoConf();
  } catch (const std::exception& e) {
    Log_Level(2, "Failed to disable autoconf: %s\n", e.what());
  }
  try {
    TarnConfigStore::CleanupBootState();
  } catch (const std::exception& e) {
    Log_Level(2, "Failed to cleanup boot state: %s\n", e.what());
  }
}

}  // namespace kickstand
