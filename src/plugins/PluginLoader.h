#pragma once
#include <deque>
#include <list>
#include <set>
#include <string>

namespace kickstand {

class DebugConfigurationCache;
class Plugin;
struct PluginContext;

/// Turns one plugin file name into plugins of the context's graph:
/// classifies it by extension, constructs the plugin from the plugin
/// directory and applies the deny list, the boot flags and the run-once
/// keys. Accepted plugins are appended to plugins; an unusable file raises a
/// host alert. Reads the debug configuration through the discovery's cache;
/// throws only when it cannot be read.
void LoadPlugin(const PluginContext& context, const std::string& fileName,
                std::deque<Plugin*>& plugins, std::set<std::string> bootFlags,
                const std::list<std::string>& denyList, std::set<std::string>& runOnceKeys,
                DebugConfigurationCache* debugConfiguration);

/// The key a run-once plugin is recorded by: its name and its version,
/// without the characters a record does not keep.
std::string RecordedRunOnceKey(const Plugin& plugin);

}  // namespace kickstand
