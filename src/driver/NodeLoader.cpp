#include "driver/NodeLoader.h"

#include <memory>
#include <boost/filesystem.hpp>

#include "core/RunOptions.h"
#include "daemons/InitScriptList.h"
#include "daemons/LegacyDaemonPlugin.h"
#include "driver/CommandLine.h"
#include "driver/RunOnceRecord.h"
#include "graph/Graph.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "plugins/DebugConfigurationCache.h"
#include "plugins/DebugPlugin.h"
#include "plugins/PluginLoader.h"

namespace kickstand {
namespace {

// The init run starts these two itself; daemon mode leaves them alone.
bool IsInitProgram(const std::string& serviceName) {
  return serviceName == "ozsyslogd" || serviceName == "evtd";
}

/// Null when the constructor failed (reported).
Plugin* CreateDaemonPlugin(const PluginContext& context, const std::string& name,
                           const std::string& path, int32_t priority) {
  try {
    return context.graph.Adopt(std::make_unique<LegacyDaemonPlugin>(
        context, name, path, static_cast<uint32_t>(priority)));
  } catch (const std::exception& e) {
    Log_Level(3, "Failed to create init.d daemon plugin: %s because: %s\n", name.c_str(),
              e.what());
  } catch (...) {
    Log_Level(3, "Failed to create init.d daemon plugin: %s\n", name.c_str());
  }
  return nullptr;
}

}  // namespace

std::deque<Plugin*> NodeLoader::Load() {
  std::deque<Plugin*> loaded;
  if (selections_.daemon)
    LoadInitScripts(loaded);
  else
    LoadPlugins(loaded);
  return loaded;
}

void NodeLoader::LoadPlugins(std::deque<Plugin*>& loaded) {
  const RunOptions& options = context_.options;
  if (options.invoke)
    RunOnceRecord::Read(selections_.runOnceKeys);
  selections_.runOnceKeysBeforeLoading = selections_.runOnceKeys;
  std::set<std::string> flags = selections_.pluginFlags;
  DebugConfigurationCache debugConfiguration(
      platform::HostPath(platform::paths::kDebugConfiguration));
  auto load = [&](const std::string& fileName) {
    LoadPlugin(context_, fileName, loaded, flags, options.disabledPlugins,
               selections_.runOnceKeys, &debugConfiguration);
  };
  if (!selections_.pluginNames.empty()) {
    for (const std::string& name : selections_.pluginNames)
      load(name);
    return;
  }
  std::vector<DebugEntry> debugEntries = debugConfiguration.Read();
  for (const auto& entry : boost::filesystem::directory_iterator(options.pluginDirectory))
    load(entry.path().filename().string());
  for (const DebugEntry& entry : debugEntries)
    loaded.push_back(context_.graph.Adopt(std::make_unique<DebugPlugin>(context_, entry)));
}

void NodeLoader::LoadInitScripts(std::deque<Plugin*>& loaded) {
  // The listing gets the time a daemon command gets. A time-out of 0 polls
  // a daemon command once; the listing, read whole or not at all, then has
  // no bound.
  Deadline deadline(context_.clock, context_.options.daemonWaitTimeout, context_.interruption);
  for (const auto& [priority, path] : ListInitScripts(context_.spawner, deadline)) {
    std::string name = boost::filesystem::path(path).filename().string();
    if (IsInitProgram(name))
      continue;
    if (Plugin* plugin = CreateDaemonPlugin(context_, name, path, priority))
      loaded.push_back(plugin);
  }
}

}  // namespace kickstand
