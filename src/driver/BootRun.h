#pragma once
#include <deque>
#include <optional>
#include <vector>
#include <sys/sysinfo.h>
#include <sys/time.h>

#include "daemons/ProgressObserver.h"
#include "driver/CommandLine.h"
#include "graph/Graph.h"
#include "graph/TimeChains.h"
#include "plugins/ActivationObserver.h"
#include "plugins/InteractivePrompt.h"
#include "plugins/KernelLogObserver.h"
#include "plugins/PluginContext.h"
#include "plugins/SystemConsole.h"
#include "plugins/TraceObserver.h"

namespace kickstand {

class Clock;
class Executor;
class Node;
class Plugin;

/// The whole run of the program, from the command line to the exit status,
/// one strictly sequential routine on the main thread. It owns the run's
/// graph and everything the plugins share.
class BootRun {
 public:
  BootRun(int argc, char** argv, char** envp, const Clock& clock);
  /// Returns the exit status.
  int Run();

 private:
  bool Initialise(int* status);
  void ListenToActivations();
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
  void WriteProfilingLog();
  void StopCommandExecutor();
  void EndBoot();

  int argc_;
  char** argv_;
  RunOptions& options_;
  const Clock& clock_;
  Selections selections_;
  timeval startTime_{0, 0};
  timeval endTime_{0, 0};
  struct sysinfo systemInfo_ {};
  Graph graph_;
  ActivationObservers observers_;
  TraceObserver trace_;
  KernelLogObserver kernelLog_;
  ProgressObserver progress_;
  SystemConsole console_;
  InteractivePrompt prompt_;
  PluginContext context_;
  std::deque<Plugin*> nodes_;
  bool success_ = false;
};

}  // namespace kickstand
