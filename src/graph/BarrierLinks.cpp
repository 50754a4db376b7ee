#include "graph/BarrierLinks.h"

#include "graph/InitBarrier.h"

namespace kickstand {

void LinkRequiredBarriers(Graph& graph, Node& plugin, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    plugin.AddDependency(InitBarrier::Get(graph, name, true));
}

void LinkProvidedBarriers(Graph& graph, Node& plugin, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    plugin.AddDependant(InitBarrier::Get(graph, name, true));
}

}  // namespace kickstand
