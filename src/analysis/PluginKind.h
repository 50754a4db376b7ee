#pragma once

namespace kickstand {

class Plugin;

/// What a plugin is made of, as the timeline and the graph colour it.
enum class PluginKind { Json, Native, Debug, InitScript, Unknown };

/// Unknown for null: a plugin the graph lacks.
PluginKind KindOf(const Plugin* plugin);
/// "JSON", "native", "debug", "init.d", "not in the graph".
const char* KindName(PluginKind kind);
/// A fill colour, "#rrggbb", that black text can be read on.
const char* KindColour(PluginKind kind);

/// Every kind, in legend order.
constexpr PluginKind kAllKinds[] = {PluginKind::Json, PluginKind::Native, PluginKind::Debug,
                                    PluginKind::InitScript, PluginKind::Unknown};

}  // namespace kickstand
