#include "graph/TimeChains.h"

#include <algorithm>
#include <limits>

#include "graph/InitBarrier.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

// A log may record durations of centuries; their sum must not wrap.
int64_t Add(int64_t a, int64_t b) {
  return a > std::numeric_limits<int64_t>::max() - b ? std::numeric_limits<int64_t>::max()
                                                      : a + b;
}

}  // namespace

// The nodes nothing waits for first; a node follows once the chain of every
// node that waits for it is known, so each edge is looked at a few times and
// no walk recurses.
TimeChains::TimeChains(const std::vector<Node*>& roots, const OwnTime& ownTime) {
  ScopedLock lock;
  std::vector<Node*> computable = Reach(roots);
  while (!computable.empty()) {
    Node* node = computable.back();
    computable.pop_back();
    int64_t longest = 0;
    for (Node* dependant : node->Dependants())
      longest = std::max(longest, chains_.find(dependant)->second.chain);
    int64_t own = dynamic_cast<const InitBarrier*>(node) ? 0 : ownTime(*node);
    chains_.find(node)->second.chain = Add(own, longest);
    for (Node* dependency : node->Dependencies()) {
      auto found = chains_.find(dependency);
      if (found != chains_.end() && --found->second.waiting == 0)
        computable.push_back(dependency);
    }
  }
}

// Enters every node reached from roots through dependants, waiting for all
// its dependants; returns those that wait for none.
std::vector<Node*> TimeChains::Reach(const std::vector<Node*>& roots) {
  std::vector<Node*> work(roots), computable;
  chains_.reserve(roots.size());
  while (!work.empty()) {
    Node* node = work.back();
    work.pop_back();
    const std::vector<Node*>& dependants = node->Dependants();
    if (!chains_.emplace(node, Entry{dependants.size(), 0}).second)
      continue;
    work.insert(work.end(), dependants.begin(), dependants.end());
    if (dependants.empty())
      computable.push_back(node);
  }
  return computable;
}

int64_t TimeChains::Of(const Node* node) const {
  auto found = chains_.find(node);
  return found == chains_.end() ? 0 : found->second.chain;
}

}  // namespace kickstand
