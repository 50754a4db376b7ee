#include "commandexec/TarncliDispatcher.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"

namespace {

const uint32_t kTarncliMagic = 0x5CA1AB1E;

}  // namespace

/// Found by name in the running program from outside; nothing here reads it.
extern "C" __attribute__((visibility("default"), used))
const uint32_t* const __tarnclic_magic = &kTarncliMagic;

namespace kickstand {
namespace {

const std::vector<std::string>& ExternalDirectories() {
  static const std::vector<std::string>* directories = [] {
    auto* mapped = new std::vector<std::string>();
    for (const char* directory : platform::paths::kCommandDirectories)
      mapped->push_back(platform::HostPath(directory));
    return mapped;
  }();
  return *directories;
}

}  // namespace

TarncliDispatcher* TarncliDispatcher::GetInstance() {
  // Commands run at the same time: the first ones all ask for it at once.
  static std::mutex creation;
  static std::shared_ptr<TarncliDispatcher> instance;
  std::lock_guard<std::mutex> lock(creation);
  if (!instance)
    instance = std::make_shared<TarncliDispatcher>();
  return instance.get();
}

TarncliDispatcher::TarncliDispatcher() {
  for (const std::string& directory : ExternalDirectories()) {
    try {
      AddExternalDirectory(directory);
    } catch (const std::exception& e) {
      Log_Level(2, "unable to add external directory to the tarncli dispatcher: %s\n", e.what());
    }
  }
}

}  // namespace kickstand
