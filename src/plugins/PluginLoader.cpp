#include "plugins/PluginLoader.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <boost/filesystem/path.hpp>
#include <boost/regex.hpp>

#include "core/RunOptions.h"
#include "graph/Graph.h"
#include "platform/Log.h"
#include "plugins/DebugConfigurationCache.h"
#include "plugins/DebugPlugin.h"
#include "plugins/JSONPlugin.h"
#include "plugins/NativePlugin.h"

namespace kickstand {
namespace {

using Flags = std::set<std::string>;

void ReportLoadFailure(const PluginContext& context, const std::string& text) {
  if (context.alert)
    context.alert(text);
  Log_Level(3, "%s\n", text.c_str());
}

void AppendDebugPlugins(const PluginContext& context, const std::string& name,
                        const DebugConfigurationCache& debugConfiguration,
                        std::deque<Plugin*>& plugins) {
  for (const DebugEntry* entry : debugConfiguration.Named(name))
    plugins.push_back(context.graph.Adopt(std::make_unique<DebugPlugin>(context, *entry)));
}

std::string SpaceAfterEach(const Flags& flags) {
  std::string text;
  for (const std::string& flag : flags)
    text += flag + " ";
  return text;
}

Flags Intersection(const Flags& a, const Flags& b) {
  Flags result;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(),
                        std::inserter(result, result.end()));
  return result;
}

Flags Difference(const Flags& a, const Flags& b) {
  Flags result;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(),
                      std::inserter(result, result.end()));
  return result;
}

/// Logs the unmet required flags; true when there are any.
bool MissesRequiredFlags(const Plugin& plugin, const Flags& bootFlags) {
  Flags missing = Difference(plugin.RequiredFlags(), bootFlags);
  if (!missing.empty())
    Log_Level(3, "ignoring plugin '%s', disabled due to missing required boot flags: %s.\n",
              plugin.Name().c_str(), SpaceAfterEach(missing).c_str());
  return !missing.empty();
}

/// Logs why plugin is kept out by the deny list or the boot flags.
bool KeptOut(const Plugin& plugin, const std::string& baseName, const Flags& bootFlags,
             const std::list<std::string>& denyList) {
  if (std::find(denyList.begin(), denyList.end(), baseName) != denyList.end()) {
    Log_Level(5, "ignoring plugin '%s' due to denylist.\n", baseName.c_str());
    return true;
  }
  Flags disabling = Intersection(plugin.DisablingFlags(), bootFlags);
  if (disabling.empty())
    return MissesRequiredFlags(plugin, bootFlags);
  Log_Level(3, "ignoring plugin '%s', disabled due to boot flags: %s.\n",
            plugin.Name().c_str(), SpaceAfterEach(disabling).c_str());
  MissesRequiredFlags(plugin, bootFlags);
  return true;
}

/// The form of a run-once key that is recorded.
std::string SanitizedRunOnceKey(const std::string& key) {
  static const boost::regex disallowed("[^-a-zA-Z0-9._+]");
  return boost::regex_replace(key, disallowed, "");
}

void ApplyRunOnce(Plugin& plugin, std::set<std::string>& runOnceKeys) {
  if (!plugin.RunOnce())
    return;
  std::string key = plugin.Name() + plugin.PluginVersion();
  if (runOnceKeys.count(key) == 0) {
    runOnceKeys.insert(RecordedRunOnceKey(plugin));
    return;
  }
  Log_Level(5, "ignoring plugin '%s' because version '%s'  has already been run.\n",
            plugin.Name().c_str(), plugin.PluginVersion().c_str());
  plugin.MarkStarted();
}

/// The names derived from one plugin file name.
struct PluginFile {
  std::string fileName;
  std::string baseName;
  std::string extension;
  std::string path;
};

PluginFile Describe(const std::string& fileName, size_t dot, const RunOptions& options) {
  std::string baseName = fileName.substr(0, dot);
  if (baseName.compare(0, 3, "lib") == 0)
    baseName.erase(0, 3);
  return {fileName, baseName, fileName.substr(dot + 1),
          (boost::filesystem::path(options.pluginDirectory) / fileName).string()};
}

/// Null for an unknown extension or a debug file (its plugins are
/// appended here); throws what the constructor throws.
std::unique_ptr<Plugin> Construct(const PluginContext& context, const PluginFile& file,
                                  const DebugConfigurationCache& debugConfiguration,
                                  std::deque<Plugin*>& plugins) {
  if (file.extension == "so")
    return std::make_unique<NativePlugin>(context, file.baseName, file.path);
  if (file.extension == "json")
    return std::make_unique<JSONPlugin>(context, file.baseName, file.path);
  if (file.extension == "debug")
    AppendDebugPlugins(context, file.baseName, debugConfiguration, plugins);
  else
    Log_Level(3, "ignoring plugin '%s' of unknown type (%s)...\n", file.fileName.c_str(),
              file.extension.c_str());
  return nullptr;
}

/// Null as well when construction failed: that is reported as a host alert.
std::unique_ptr<Plugin> ConstructReported(const PluginContext& context, const PluginFile& file,
                                          const DebugConfigurationCache& debugConfiguration,
                                          std::deque<Plugin*>& plugins) {
  try {
    return Construct(context, file, debugConfiguration, plugins);
  } catch (const std::exception& e) {
    ReportLoadFailure(context, "exception occurred whilst loading plugin " + file.fileName + ": " +
                      e.what());
  } catch (...) {
    ReportLoadFailure(context, "unknown exception occurred whilst loading plugin " + file.fileName);
  }
  return nullptr;
}

void KeepOut(Graph& graph, std::unique_ptr<Plugin> plugin) {
  plugin->MarkStarted();
  // Barriers linked to it must see it started; with no link nothing refers
  // to it any more.
  if (!plugin->Dependencies().empty() || !plugin->Dependants().empty())
    graph.Adopt(std::move(plugin));
}

}  // namespace

std::string RecordedRunOnceKey(const Plugin& plugin) {
  return SanitizedRunOnceKey(plugin.Name() + plugin.PluginVersion());
}

void LoadPlugin(const PluginContext& context, const std::string& fileName,
                std::deque<Plugin*>& plugins, std::set<std::string> bootFlags,
                const std::list<std::string>& denyList, std::set<std::string>& runOnceKeys,
                DebugConfigurationCache* debugConfiguration) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) {
    Log_Level(3, "ignoring plugin '%s' of unspecified type...\n", fileName.c_str());
    return;
  }
  debugConfiguration->Read();
  PluginFile file = Describe(fileName, dot, context.options);
  std::unique_ptr<Plugin> plugin = ConstructReported(context, file, *debugConfiguration, plugins);
  if (!plugin)
    return;
  if (KeptOut(*plugin, file.baseName, bootFlags, denyList)) {
    KeepOut(context.graph, std::move(plugin));
    return;
  }
  plugins.push_back(context.graph.Adopt(std::move(plugin)));
  ApplyRunOnce(*plugins.back(), runOnceKeys);
}

}  // namespace kickstand
