#include "graph/PriorityBarrier.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "graph/Graph.h"
#include "util/GlobalLock.h"

namespace kickstand {

std::string PriorityBarrier::NameOf(uint32_t priority) {
  return "_<->_priority_<->_" + std::to_string(priority);
}

PriorityBarrier* PriorityBarrier::Get(Graph& graph, uint32_t priority) {
  ScopedLock lock;
  if (InitBarrier* existing = InitBarrier::Get(graph, NameOf(priority), false))
    return dynamic_cast<PriorityBarrier*>(existing);
  return graph.Adopt(std::unique_ptr<PriorityBarrier>(new PriorityBarrier(graph, priority)));
}

PriorityBarrier* PriorityBarrier::AtIndex(size_t index) {
  return dynamic_cast<PriorityBarrier*>(
      InitBarrier::Get(graph_, NameOf(graph_.Priorities()[index]), false));
}

PriorityBarrier::PriorityBarrier(Graph& graph, uint32_t priority)
    : InitBarrier(graph, NameOf(priority)), priority_(priority) {
  ScopedLock lock;
  std::vector<uint32_t>& list = graph_.Priorities();
  auto position = std::lower_bound(list.begin(), list.end(), priority);
  size_t index = static_cast<size_t>(position - list.begin());
  list.insert(position, priority);
  if (index > 0)
    AddDependency(AtIndex(index - 1));
  if (index + 1 < list.size())
    AdoptNextPriority(AtIndex(index + 1));
  Register(Name());
  indexHint_ = static_cast<uint32_t>(index);
}

// The members of the next priority, and its barrier, now wait for this one.
void PriorityBarrier::AdoptNextPriority(PriorityBarrier* next) {
  std::vector<Node*> adopted;
  for (Node* node : next->Dependencies()) {
    if (!dynamic_cast<InitBarrier*>(node))
      adopted.push_back(node);
  }
  adopted.push_back(next);
  for (Node* node : adopted)
    AddDependant(node);
}

size_t PriorityBarrier::Index() {
  std::vector<uint32_t>& list = graph_.Priorities();
  if (indexHint_ < list.size() && list[indexHint_] == priority_)
    return indexHint_;
  indexHint_ = static_cast<uint32_t>(std::find(list.begin(), list.end(), priority_) - list.begin());
  return indexHint_;
}

void PriorityBarrier::AddMember(Node* plugin) {
  ScopedLock lock;
  size_t index = Index();
  if (index > 0)
    AtIndex(index - 1)->AddDependant(plugin);
  AddDependency(plugin);
}

}  // namespace kickstand
