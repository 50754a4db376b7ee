#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/RunOptions.h"
#include "graph/Graph.h"
#include "plugins/ActivationObserver.h"
#include "plugins/PluginContext.h"

namespace kickstand {

class Plugin;
struct Selections;

/// The graph of a run rebuilt as a dump run builds it: discovery, debug
/// plugins, barriers, cycles broken. Nothing is activated and no command
/// executor is started; what a boot would raise as host alerts is kept
/// here instead.
class RebuiltGraph {
 public:
  /// options.pluginDirectory must be absolute.
  RebuiltGraph(const RunOptions& options, Selections& selections);

  Graph& GetGraph() { return graph_; }
  /// The node list in load order (empty when enumeration failed).
  const std::deque<Plugin*>& Nodes() const { return nodes_; }

  /// Why enumeration stopped (a plugin directory that cannot be walked).
  const std::optional<std::string>& EnumerationFailure() const { return enumerationFailure_; }
  /// The plugin files that did not load, as discovery reports them.
  const std::vector<std::string>& LoadFailures() const { return loadFailures_; }
  /// The cycles found and how each was broken, as a boot reports them.
  const std::vector<std::string>& Cycles() const { return cycles_; }
  /// What the boot's missing-provider check would report, in barrier
  /// name order: barriers without a provider that a plugin to run requires.
  std::vector<std::string> MissingProviders();

 private:
  RunOptions options_;
  Graph graph_;
  ActivationObservers observers_;  // none: nothing is activated
  PluginContext context_;
  std::deque<Plugin*> nodes_;
  std::optional<std::string> enumerationFailure_;
  std::vector<std::string> loadFailures_;
  std::vector<std::string> cycles_;
};

}  // namespace kickstand
