#pragma once
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>
#include <sys/sysinfo.h>
#include <sys/time.h>

#include "core/SignalWatch.h"
#include "daemons/ProgressObserver.h"
#include "driver/CommandLine.h"
#include "driver/RunLock.h"
#include "graph/Graph.h"
#include "graph/TimeChains.h"
#include "plugins/ActivationObserver.h"
#include "plugins/InteractivePrompt.h"
#include "plugins/KernelLogObserver.h"
#include "plugins/PluginContext.h"
#include "plugins/RunningPlugins.h"
#include "plugins/SystemConsole.h"
#include "plugins/TraceObserver.h"
#include "util/Interruption.h"
#include "util/afstream.h"

namespace kickstand {

class Clock;
class Executor;
class Node;
class Plugin;

/// The whole run of the program, from the command line to the exit status,
/// one strictly sequential routine on the main thread. It owns the run's
/// graph and everything the plugins share. One run at a time holds a host
/// tree; a signal ends a run cleanly and then ends the process.
class BootRun {
 public:
  BootRun(int argc, char** argv, char** envp, const Clock& clock);
  /// Returns the exit status; does not return when a signal interrupted
  /// the run.
  int Run();

 private:
  int RunSteps();
  bool Initialise(int* status);
  void ListenToActivations();
  /// False when the run was interrupted while it waited.
  bool TakeRunLock();
  void RunInitPrograms();
  bool StartCommandExecutor();
  void EnterRootDirectory();
  void BuildAndRunGraph();
  void ChooseThreadCount();
  void DumpGraph();
  void RunGraph();
  std::optional<TimeChains> LearnOrder(const std::vector<Node*>& roots) const;
  void ScheduleAndWait(Executor& executor);
  void StopAndWait(Executor& executor);
  void WriteRunOnceRecord();
  std::set<std::string> RecordedKeys() const;
  void WriteProfilingLog();
  void StopCommandExecutor();
  void EndBoot();
  [[noreturn]] void EndInterrupted();

  int argc_;
  char** argv_;
  RunOptions& options_;
  const Clock& clock_;
  Selections selections_;
  timeval startTime_{0, 0};
  timeval endTime_{0, 0};
  struct sysinfo systemInfo_ {};
  Interruption interruption_;
  RunLock lock_;
  ReplacementRules replacement_;
  Graph graph_;
  ActivationObservers observers_;
  RunningPlugins running_;
  TraceObserver trace_;
  KernelLogObserver kernelLog_;
  ProgressObserver progress_;
  SystemConsole console_;
  InteractivePrompt prompt_;
  PluginContext context_;
  std::deque<Plugin*> nodes_;
  bool success_ = false;
  /// Last, so that its thread ends before what it reaches is destroyed.
  std::optional<SignalWatch> signals_;
};

}  // namespace kickstand
