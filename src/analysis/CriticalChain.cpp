#include "analysis/CriticalChain.h"

#include "analysis/BootTimeline.h"

namespace kickstand {

CriticalChain::CriticalChain(const BootTimeline& timeline, size_t from) {
  const std::vector<TimedPlugin>& plugins = timeline.Plugins();
  // The graph's cycles are broken, so the walk ends; the bound is a guard.
  for (int row = static_cast<int>(from); row >= 0 && rows_.size() < plugins.size();
       row = plugins[static_cast<size_t>(row)].after) {
    rows_.push_back(static_cast<size_t>(row));
    if (!plugins[static_cast<size_t>(row)].plugin)
      continue;
    std::vector<const Node*> path = timeline.PathToAfter(static_cast<size_t>(row));
    nodes_.insert(path.begin(), path.end());
    for (size_t i = 1; i < path.size(); ++i)
      edges_.insert({path[i], path[i - 1]});
  }
}

}  // namespace kickstand
