#include "driver/BootRun.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "driver/Logging.h"
#include "driver/Process.h"
#include "graph/CycleBreaker.h"
#include "graph/Executor.h"
#include "graph/InitBarrier.h"
#include "platform/HostPath.h"
#include "platform/KernelProgressScreenImpl.h"
#include "platform/Log.h"
#include "platform/ProcessorCount.h"
#include "platform/TarnConfigStore.h"
#include "plugins/Plugin.h"

namespace kickstand {
namespace {

bool StatelessMarkerPresent() {
  boost::system::error_code error;
  auto type = boost::filesystem::status(platform::HostPath("/stateless.tgz"), error).type();
  return type != boost::filesystem::status_error && type != boost::filesystem::file_not_found;
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
  // The command executor process arrives with its own subsystem.
  return true;
}

void BootRun::EnterRootDirectory() {
  options_.pluginDirectory = boost::filesystem::system_complete(selections_.pluginDirectory).string();
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
  // Plugin discovery and the init.d listing arrive with their subsystems.
  nodes_.swap(loaded);
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
  OzkCtl::System::KernelProgressScreenImpl screen;
  screen.ProgressText("Activating Kickstand Plugins");
  screen.StatusText("");
  for (Plugin* node : nodes_)
    node->ScheduleStart(executor);
  for (Plugin* node : nodes_)
    node->WaitStarted();
}

void BootRun::WriteProfilingLog() {
  // The profiling log arrives with the file utilities.
}

void BootRun::HandleSystemLogDaemon() {
  // System log daemon handling arrives with the file utilities.
}

void BootRun::StopCommandExecutor() {
  // The command executor process arrives with its own subsystem.
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
