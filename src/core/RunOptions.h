#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

namespace kickstand {

/// The run options. The run's own record is the process-wide instance; the
/// driver fills it in and passes it down, and plugins read it on worker
/// threads. Written only before the graph runs (except `interactive` and
/// `interactiveModeRequires`, which the interactive prompt changes on the
/// single worker of an interactive run).
class RunOptions {
 public:
  /// How a parallel run ranks ready plugins of one scheduling class: by
  /// the chain of nodes still waiting on each (height), or by that chain
  /// counted in the durations the previous boot recorded (history).
  enum class Order { Height, History };

  /// The run's record, created on first use under the global lock.
  static RunOptions& Instance();
  /// Defaults, the seed being the current time (a test's own record).
  RunOptions();

  /// The workers of a parallel run: two a processor, and no more than
  /// there are nodes to run.
  static uint32_t ParallelThreadCount(unsigned processors, size_t nodes);

  bool verbose = false;
  bool parallel = false;
  bool randomize = false;
  bool interactive = false;
  bool trace = false;
  uint32_t threadCount = 1;
  int64_t randomSeed;
  std::string pluginDirectory;
  std::list<std::string> disabledPlugins;
  std::list<std::string> interactiveModeRequires;
  std::string method;
  bool invoke = false;
  bool daemonWait = false;
  uint32_t daemonWaitTimeout = 40;
  /// Seconds a plugin's activation may run before it is ended; 0: no limit.
  uint32_t pluginTimeout = 0;
  char** environment = nullptr;
  Order order = Order::Height;
};

}  // namespace kickstand
