#include "plugins/NativePlugin.h"

#include <dlfcn.h>
#include <unistd.h>
#include <vector>

#include "graph/BarrierLinks.h"
#include "kickstand/native_plugin.h"
#include "plugins/OpenPluginFile.h"
#include "plugins/RunNativeExecutor.h"
#include "util/Exception.h"

namespace kickstand {
namespace {

/// A shared object mapped for as long as this object lives.
class SharedObject {
 public:
  explicit SharedObject(const std::string& path) : path_(path) {
    close(OpenPluginFile(path));  // dlopen would wait on a FIFO
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_LAZY | RTLD_GLOBAL);
    if (!handle_)
      throw InvalidPluginException(path, dlerror());
  }
  ~SharedObject() { dlclose(handle_); }
  SharedObject(const SharedObject&) = delete;
  SharedObject& operator=(const SharedObject&) = delete;

  const void* Symbol(const std::string& name) const {
    void* address = dlsym(handle_, name.c_str());
    const char* error = dlerror();
    if (!error && !address)
      error = "the symbol has no address";
    if (error)
      throw Exception("Failed loading symbol: " + name + " Located at: " + path_ +
                      " Reason: " + error);
    return address;
  }

 private:
  std::string path_;
  void* handle_;
};

std::vector<std::string> Strings(const char* const* list) {
  std::vector<std::string> strings;
  for (; list && *list; ++list)
    strings.push_back(*list);
  return strings;
}

}  // namespace

NativePlugin::NativePlugin(const PluginContext& context, const std::string& name,
                           const std::string& path)
    : Plugin(context, name), path_(path) {
  SharedObject object(path);
  auto* operations = static_cast<const KickstandNativeOperations*>(object.Symbol("operations"));
  auto* metadata = static_cast<const KickstandNativeMetadata*>(object.Symbol("metadata"));
  hostProfileEntry_ = operations->applyHostProfile != nullptr;
  apiVersion_ = metadata->version;
  if (apiVersion_ < 1 || apiVersion_ > 4)
    throw InvalidPluginException(path, "Unsupported API version");
  Accept(*metadata);
}

void NativePlugin::Accept(const KickstandNativeMetadata& metadata) {
  LinkProvidedBarriers(context_.graph, *this, Strings(metadata.providedBarriers));
  LinkRequiredBarriers(context_.graph, *this, Strings(metadata.requiredBarriers));
  if (apiVersion_ < 3)
    return;
  for (const std::string& flag : Strings(metadata.requiredFlags))
    requiredFlags_.insert(flag);
  for (const std::string& flag : Strings(metadata.disablingFlags))
    disablingFlags_.insert(flag);
  runOnce_ = metadata.runOnce != 0;
  if (metadata.pluginVersion)
    pluginVersion_ = metadata.pluginVersion;
}

void NativePlugin::Start() {
  RunNativeExecutor("start", Name(), path_, deadline_);
}

bool NativePlugin::SupportsHostProfile() {
  return apiVersion_ >= 2 && hostProfileEntry_;
}

void NativePlugin::ApplyHostProfile() {
  if (!SupportsHostProfile())
    throw NotImplementedException("NativePlugin::ApplyHostProfile");
  RunNativeExecutor("apply_host_profile", Name(), path_, deadline_);
}

}  // namespace kickstand
