#include "analysis/RebuiltGraph.h"

#include <algorithm>

#include "core/Clock.h"
#include "driver/NodeLoader.h"
#include "graph/CycleBreaker.h"
#include "graph/InitBarrier.h"
#include "graph/PriorityBarrier.h"
#include "platform/Spawner.h"
#include "plugins/Plugin.h"

namespace kickstand {

RebuiltGraph::RebuiltGraph(const RunOptions& options, Selections& selections)
    : options_(options),
      context_{graph_,     options_, Clock::System(), platform::Spawner::System(),
               observers_, nullptr,  nullptr, nullptr,
               [this](const std::string& text) { loadFailures_.push_back(text); }} {
  graph_.alert = nullptr;
  try {
    nodes_ = NodeLoader(context_, selections).Load();
  } catch (const std::exception& e) {
    enumerationFailure_ = std::string("unhandled exception whilst enumerating plugins: ") + e.what();
  }
  std::vector<Node*> roots(nodes_.begin(), nodes_.end());
  for (InitBarrier* barrier : InitBarrier::All(graph_))
    roots.push_back(barrier);
  cycles_ = CycleBreaker::BreakCycles(roots, [](const std::string&) {});
}

// A barrier is checked when it is scheduled, that is when a plugin that
// requires it is: plugins kept out or already run once never are.
std::vector<std::string> RebuiltGraph::MissingProviders() {
  std::vector<std::string> reports;
  for (InitBarrier* barrier : InitBarrier::All(graph_)) {
    if (dynamic_cast<PriorityBarrier*>(barrier) || !barrier->Dependencies().empty())
      continue;
    const std::vector<Node*>& requirers = barrier->Dependants();
    if (std::any_of(requirers.begin(), requirers.end(),
                    [](Node* node) { return node->GetState() != Node::Started; }))
      reports.push_back(barrier->MissingProviderText());
  }
  return reports;
}

}  // namespace kickstand
