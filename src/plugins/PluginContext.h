#pragma once
#include <functional>
#include <string>

#include "plugins/RunCommands.h"

namespace platform {
class Spawner;
}

namespace kickstand {

class ActivationObserver;
class Clock;
class Graph;
class InteractivePrompt;
class Interruption;
class RunOptions;

/// What every plugin of a run shares, given by the run that creates them:
/// the graph it links into, the run options, the clock, the process seam,
/// who hears about activations, the interactive prompt, the run's
/// interruption, how a JSON plugin's command lines are run, and where host
/// alerts are raised.
struct PluginContext {
  Graph& graph;
  const RunOptions& options;
  const Clock& clock;
  platform::Spawner& spawner;
  ActivationObserver& observer;
  /// Asked before each plugin while options.interactive is set.
  InteractivePrompt* prompt;
  /// Set once a signal interrupts the run: no plugin starts after it, and
  /// the work of those running gives up what it waits for.
  const Interruption* interruption;
  CommandLineRunner runCommandLine;
  /// Where host alerts go: a plugin file that cannot be used, a plugin that
  /// ran past its time limit.
  std::function<void(const std::string& text)> alert;
};

}  // namespace kickstand
