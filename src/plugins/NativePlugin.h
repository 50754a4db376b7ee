#pragma once
#include <string>

#include "plugins/Plugin.h"

struct KickstandNativeMetadata;

namespace kickstand {

/// A plugin in a shared object. The object is loaded only to read its
/// metadata; its operations run in the native executor program.
class NativePlugin : public Plugin {
 public:
  /// Throws when the object cannot be loaded or its metadata is unusable;
  /// barriers are linked only once the metadata was accepted.
  NativePlugin(const PluginContext& context, const std::string& name, const std::string& path);

  void Start() override;
  bool SupportsHostProfile() override;
  void ApplyHostProfile() override;

 private:
  void Accept(const KickstandNativeMetadata& metadata);

  bool hostProfileEntry_ = false;
  std::string path_;
};

}  // namespace kickstand
