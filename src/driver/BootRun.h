#pragma once
#include <deque>
#include <iosfwd>
#include <string>
#include <sys/sysinfo.h>
#include <sys/time.h>

#include "driver/CommandLine.h"

namespace kickstand {

class Executor;
class Plugin;

/// The whole run of the program, from the command line to the exit status,
/// one strictly sequential routine on the main thread.
class BootRun {
 public:
  BootRun(int argc, char** argv, char** envp);
  /// Returns the exit status.
  int Run();

 private:
  bool Initialise(int& status);
  void RunInitPrograms();
  bool StartCommandExecutor();
  void EnterRootDirectory();
  void BuildAndRunGraph();
  void LoadNodes();
  void LoadDaemonNodes(std::deque<Plugin*>& loaded);
  void LoadPlugins(std::deque<Plugin*>& loaded);
  void ChooseThreadCount();
  void DumpGraph();
  void RunGraph();
  void ScheduleAndWait(Executor& executor);
  void StopAndWait(Executor& executor);
  void WriteProfilingLog();
  void HandleSystemLogDaemon();
  void StopCommandExecutor();
  void EndBoot();

  int argc_;
  char** argv_;
  RunOptions& options_;
  Selections selections_;
  timeval startTime_{0, 0};
  timeval endTime_{0, 0};
  struct sysinfo systemInfo_ {};
  std::deque<Plugin*> nodes_;
  bool success_ = false;
};

}  // namespace kickstand
