#include "analysis/PluginKind.h"

#include "daemons/DaemonPlugin.h"
#include "plugins/DebugPlugin.h"
#include "plugins/JSONPlugin.h"
#include "plugins/NativePlugin.h"

namespace kickstand {

PluginKind KindOf(const Plugin* plugin) {
  if (dynamic_cast<const JSONPlugin*>(plugin)) return PluginKind::Json;
  if (dynamic_cast<const NativePlugin*>(plugin)) return PluginKind::Native;
  if (dynamic_cast<const DebugPlugin*>(plugin)) return PluginKind::Debug;
  if (dynamic_cast<const DaemonPlugin*>(plugin)) return PluginKind::InitScript;
  return PluginKind::Unknown;
}

const char* KindName(PluginKind kind) {
  switch (kind) {
    case PluginKind::Json: return "JSON";
    case PluginKind::Native: return "native";
    case PluginKind::Debug: return "debug";
    case PluginKind::InitScript: return "init.d";
    case PluginKind::Unknown: break;
  }
  return "not in the graph";
}

const char* KindColour(PluginKind kind) {
  switch (kind) {
    case PluginKind::Json: return "#8cb4e0";
    case PluginKind::Native: return "#f5b26b";
    case PluginKind::Debug: return "#9fd38f";
    case PluginKind::InitScript: return "#d3a6cb";
    case PluginKind::Unknown: break;
  }
  return "#c8c8c8";
}

}  // namespace kickstand
