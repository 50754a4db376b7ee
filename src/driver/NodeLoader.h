#pragma once
#include <deque>

namespace kickstand {

class Plugin;
struct PluginContext;
struct Selections;

/// Loads the nodes of a run into the context's graph, as the command line
/// selects them: the init.d services for a daemon run; otherwise the named
/// plugin files, or every file of the plugin directory followed by the
/// debug plugins. A dump run and the analysis tool load the same way.
class NodeLoader {
 public:
  NodeLoader(const PluginContext& context, Selections& selections)
      : context_(context), selections_(selections) {}

  /// The node list in load order. Throws what discovery throws (a plugin
  /// directory that cannot be walked, a debug configuration that cannot be
  /// read); the graph then keeps what was loaded so far.
  std::deque<Plugin*> Load();

 private:
  void LoadPlugins(std::deque<Plugin*>& loaded);
  void LoadInitScripts(std::deque<Plugin*>& loaded);

  const PluginContext& context_;
  Selections& selections_;
};

}  // namespace kickstand
