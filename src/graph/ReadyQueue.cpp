#include "graph/ReadyQueue.h"

#include "graph/Node.h"
#include "graph/TimeChains.h"

namespace kickstand {

void ReadyQueue::Push(Node* node) {
  int64_t length = chains_ ? chains_->Of(node) : node->PathLength();
  buckets_[{node->SchedulingClass(), length}].push_back(node);
  ++size_;
}

Node* ReadyQueue::PopNext(std::mt19937* random) {
  auto best = buckets_.begin();
  std::deque<Node*>& candidates = best->second;
  size_t index = random ? (*random)() % candidates.size() : 0;
  Node* chosen = candidates[index];
  candidates.erase(candidates.begin() + index);
  if (candidates.empty())
    buckets_.erase(best);
  --size_;
  return chosen;
}

}  // namespace kickstand
