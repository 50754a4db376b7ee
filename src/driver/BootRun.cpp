#include "driver/BootRun.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "commandexec/TarncliExecutor.h"
#include "core/Clock.h"
#include "core/Process.h"
#include "driver/Logging.h"
#include "driver/NodeLoader.h"
#include "driver/ProfilingLog.h"
#include "driver/RecordedDurations.h"
#include "driver/RunOnceRecord.h"
#include "driver/SyslogDaemon.h"
#include "graph/CycleBreaker.h"
#include "graph/Executor.h"
#include "graph/InitBarrier.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/KernelProgressScreenImpl.h"
#include "platform/Log.h"
#include "platform/ProcessorCount.h"
#include "platform/Spawner.h"
#include "platform/SystemInfoImpl.h"
#include "platform/TarnConfigStore.h"
#include "plugins/Plugin.h"
#include "plugins/PluginLoader.h"
#include "util/GlobalLock.h"
#include "util/RegularFileStream.h"

namespace kickstand {
namespace {

bool StatelessMarkerPresent() {
  boost::system::error_code error;
  std::string marker = platform::HostPath(platform::paths::kStatelessMarker);
  auto type = boost::filesystem::status(marker, error).type();
  return type != boost::filesystem::status_error && type != boost::filesystem::file_not_found;
}

void RunHostProgram(const char* hostPath, const char* argument, char** envp) {
  std::string path = platform::HostPath(hostPath);
  char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument), nullptr};
  RunProgram(argv, envp);
}

void ExecuteInCommandExecutor(const std::string& commandLine, const Deadline& deadline) {
  TarncliExecutor::GetInstance()->Execute(commandLine, deadline);
}

void HostAlert(const std::string& text) {
  OzkCtl::System::SystemInfoImpl().SetSystemAlert(text);
}

}  // namespace

BootRun::BootRun(int argc, char** argv, char** envp, const Clock& clock)
    : argc_(argc),
      argv_(argv),
      options_(RunOptions::Instance()),
      clock_(clock),
      lock_(clock, interruption_),
      prompt_(console_, options_),
      context_{graph_,    options_,       clock_,
               platform::Spawner::System(), observers_, &prompt_,
               &interruption_,              ExecuteInCommandExecutor, HostAlert} {
  options_.environment = envp;
  replacement_.interruption = &interruption_;
}

int BootRun::Run() {
  int status = RunSteps();
  if (interruption_.Interrupted())
    EndInterrupted();
  return status;
}

int BootRun::RunSteps() {
  int status = 0;
  if (!Initialise(&status))
    return status;
  if (!selections_.dump && !TakeRunLock())
    return 1;
  if (selections_.init)
    RunInitPrograms();
  if (!selections_.daemon && !StartCommandExecutor())
    return 1;
  EnterRootDirectory();
  BuildAndRunGraph();
  endTime_ = clock_.Now();
  WriteProfilingLog();
  if (interruption_.Interrupted())
    return 1;  // the boot did not end: its executor ends with the process
  if (selections_.init)
    SyslogDaemon::UpgradeAndReload();
  if (!selections_.daemon)
    EndBoot();
  return success_ ? 0 : 1;
}

bool BootRun::Initialise(int* status) {
  startTime_ = clock_.Now();
  sysinfo(&systemInfo_);
  try {
    SetupLogging("kickstand");
  } catch (const std::exception& e) {
    Log_Level(3, "Failed to initialize kickstand: %s\n", e.what());
    *status = 1;
    return false;
  } catch (...) {
    Log_Level(3, "Failed to initialize kickstand\n");
    *status = 1;
    return false;
  }
  CommandLine::Outcome outcome = CommandLine::Parse(argc_, argv_, options_, selections_);
  *status = outcome == CommandLine::Outcome::ExitSuccess ? 0 : 1;
  success_ = selections_.dump;
  if (outcome != CommandLine::Outcome::Run)
    return false;
  platform::EnsureRuntimeDirectories();
  ListenToActivations();
  signals_.emplace(interruption_, [this] { running_.Interrupt(); });
  return true;
}

// The daemons' progress screen, the trace and the kernel log hear of every
// activation, and the run of which plugins are running; an invoke run
// raises no host alert for a missing provider.
void BootRun::ListenToActivations() {
  if (selections_.daemon)
    observers_.Add(progress_);
  if (options_.trace)
    observers_.Add(trace_);
  observers_.Add(kernelLog_);
  observers_.Add(running_);
  if (options_.invoke)
    graph_.alert = nullptr;
}

// Holding the lock, the run is the only writer of the tree's files, so what
// a killed writer left beside them is its to clear.
bool BootRun::TakeRunLock() {
  RunLock::Outcome outcome = lock_.Take(platform::HostPath(platform::paths::kRunLock));
  if (outcome == RunLock::Outcome::Held)
    replacement_.clearedDebris = [](const std::string& path) {
      Log_Level(3, "removed a temporary file left by an interrupted run: %s\n", path.c_str());
    };
  return outcome != RunLock::Outcome::Interrupted;
}

void BootRun::RunInitPrograms() {
  RunHostProgram(platform::paths::kSyslogDaemon, "-i", options_.environment);
  RunHostProgram(platform::paths::kEventDaemon, "start", options_.environment);
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
    nodes_ = NodeLoader(context_, selections_).Load();
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

void BootRun::ChooseThreadCount() {
  if (!options_.parallel)
    return;
  options_.threadCount = RunOptions::ParallelThreadCount(platform::ProcessorCount(), nodes_.size());
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
  graph_.WriteDot(selections_.dumpPath ? file : std::cout,
                  std::vector<Node*>(nodes_.begin(), nodes_.end()));
}

void BootRun::RunGraph() {
  std::vector<Node*> roots(nodes_.begin(), nodes_.end());
  for (InitBarrier* barrier : InitBarrier::All(graph_))
    roots.push_back(barrier);
  CycleBreaker::BreakCycles(roots, [](const std::string& report) {
    Log_Level(2, "%s\n", report.c_str());
    HostAlert(report);
  });
  std::optional<TimeChains> chains = LearnOrder(roots);
  Executor executor(static_cast<int>(options_.threadCount), options_.randomize,
                    static_cast<uint64_t>(options_.randomSeed), chains ? &*chains : nullptr);
  ScheduleAndWait(executor);
  success_ = true;
}

// Only workers choosing among ready plugins gain from the order: a serial
// run takes every plugin one after another whatever the order. Daemon and
// invoke runs are not the boots the log records.
std::optional<TimeChains> BootRun::LearnOrder(const std::vector<Node*>& roots) const {
  if (options_.order != RunOptions::Order::History || !options_.parallel || options_.invoke ||
      selections_.daemon)
    return std::nullopt;
  RegularFileStream log(platform::HostPath(platform::paths::kProfilingLog));
  std::optional<RecordedDurations> durations = RecordedDurations::Read(log);
  if (!durations) {
    Log_Level(5, "no previous boot recorded; ordering by height\n");
    return std::nullopt;
  }
  std::string skipped = durations->SkippedLines() == 0 ? "" :
      " (" + std::to_string(durations->SkippedLines()) + " unreadable lines skipped)";
  Log_Level(5, "ordering by the durations of %zu plugins recorded by the previous boot%s\n",
            durations->Count(), skipped.c_str());
  return TimeChains(roots, [&](const Node& plugin) { return durations->Of(plugin.Name()); });
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
    WriteRunOnceRecord();
}

void BootRun::WriteRunOnceRecord() {
  try {
    RunOnceRecord::Write(RecordedKeys(), replacement_);
  } catch (const std::exception&) {
    if (!interruption_.Interrupted())
      throw;
    // Abandoned when the signal came: written again, for what ran.
    RunOnceRecord::Write(RecordedKeys(), replacement_);
  }
}

// An interrupted run keeps the keys it began with and those of the run-once
// plugins whose work ended before the signal; the others run again.
std::set<std::string> BootRun::RecordedKeys() const {
  if (!interruption_.Interrupted())
    return selections_.runOnceKeys;
  std::set<std::string> keys = selections_.runOnceKeysBeforeLoading;
  for (const Plugin* plugin : nodes_) {
    if (plugin->RunOnce() && running_.FinishedBeforeInterruption(*plugin))
      keys.insert(RecordedRunOnceKey(*plugin));
  }
  return keys;
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
  ProfilingLog log(platform::HostPath(platform::paths::kProfilingLog), replacement_);
  ProfilingRecord record =
      ProfilingRecord::FromRun(startTime_, endTime_, systemInfo_.uptime, nodes_, options_);
  if (selections_.daemon)
    log.AppendDaemonSection(record);
  else
    log.WriteFresh(record);
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

// What ran is in the profiling log; the signal then ends the process as it
// would have, so that its parent sees how the run ended.
void BootRun::EndInterrupted() {
  std::vector<std::string> running = running_.RunningAtInterruption();
  std::string names;
  for (const std::string& name : running)
    names += (names.empty() ? ": " : ", ") + name;
  Log_Level(2, "%s; %zu plugins were running%s\n", interruption_.What().c_str(), running.size(),
            names.c_str());
  SignalWatch::EndBy(interruption_.Signal());
}

}  // namespace kickstand
