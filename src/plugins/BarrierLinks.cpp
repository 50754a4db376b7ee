#include "plugins/BarrierLinks.h"

#include "graph/InitBarrier.h"

namespace kickstand {

void LinkRequiredBarriers(Node& plugin, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    plugin.AddDependency(InitBarrier::Get(name, true));
}

void LinkProvidedBarriers(Node& plugin, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    plugin.AddDependant(InitBarrier::Get(name, true));
}

}  // namespace kickstand
