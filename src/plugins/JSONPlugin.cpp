#include "plugins/JSONPlugin.h"

#include <boost/iostreams/device/file_descriptor.hpp>
#include <boost/iostreams/stream.hpp>

#include "graph/BarrierLinks.h"
#include "plugins/JSONDescription.h"
#include "plugins/OpenPluginFile.h"
#include "plugins/RunCommands.h"
#include "util/Exception.h"

namespace kickstand {

JSONPlugin::JSONPlugin(const PluginContext& context, const std::string& name,
                       const std::string& path)
    : Plugin(context, name) {
  namespace io = boost::iostreams;
  io::stream<io::file_descriptor_source> file(OpenPluginFile(path), io::close_handle);
  JSONDescription description = JSONDescription::Parse(path, file);
  Accept(description);
}

void JSONPlugin::Accept(JSONDescription& description) {
  apiVersion_ = description.apiVersion;
  runOnce_ = description.runOnce;
  pluginVersion_ = std::move(description.pluginVersion);
  requiredFlags_ = std::move(description.requiredFlags);
  disablingFlags_ = std::move(description.disablingFlags);
  startCommands_ = std::move(description.startCommands);
  supportsHostProfile_ = description.supportsHostProfile;
  hostProfileCommands_ = std::move(description.hostProfileCommands);
  LinkRequiredBarriers(context_.graph, *this, description.requiredBarriers);
  LinkProvidedBarriers(context_.graph, *this, description.providedBarriers);
}

void JSONPlugin::Start() {
  RunCommands("start", Name(), startCommands_, context_.runCommandLine, deadline_);
}

bool JSONPlugin::SupportsHostProfile() {
  return apiVersion_ >= 2 && supportsHostProfile_;
}

void JSONPlugin::ApplyHostProfile() {
  if (apiVersion_ < 2)
    throw NotImplementedException("json_plugin::ApplyHostProfile");
  RunCommands("apply_host_profile", Name(), hostProfileCommands_, context_.runCommandLine,
              deadline_);
}

}  // namespace kickstand
