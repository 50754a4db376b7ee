#include "plugins/RunningPlugins.h"

#include <algorithm>

#include "plugins/Plugin.h"

namespace kickstand {

void RunningPlugins::Started(const Plugin& plugin) {
  std::lock_guard<std::mutex> lock(mutex_);
  running_.push_back(&plugin);
}

void RunningPlugins::Finished(const Plugin& plugin, const std::optional<std::string>&) {
  std::lock_guard<std::mutex> lock(mutex_);
  running_.erase(std::find(running_.begin(), running_.end(), &plugin));
  if (!interrupted_)
    finished_.insert(&plugin);
}

void RunningPlugins::Interrupt() {
  std::lock_guard<std::mutex> lock(mutex_);
  interrupted_ = true;
  for (const Plugin* plugin : running_)
    atInterruption_.push_back(plugin->Name());
}

std::vector<std::string> RunningPlugins::RunningAtInterruption() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return atInterruption_;
}

bool RunningPlugins::FinishedBeforeInterruption(const Plugin& plugin) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_.count(&plugin) > 0;
}

}  // namespace kickstand
