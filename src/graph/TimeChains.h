#pragma once
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace kickstand {

class Node;

/// How much time still hangs on each node: its own time plus the longest
/// such chain among the nodes that wait for it. Where durations differ a
/// lot, a few slow plugins among many quick ones, this sends workers to the
/// work that the end of the run waits for, which a chain counted in nodes
/// cannot tell.
class TimeChains {
 public:
  /// A plugin's own time, never negative; any unit, the same for all.
  using OwnTime = std::function<int64_t(const Node& plugin)>;

  /// Computes the chain of every node reached from roots through their
  /// dependants, once, iteratively, in time linear in nodes and edges.
  /// Barriers do no work of their own and count 0.
  TimeChains(const std::vector<Node*>& roots, const OwnTime& ownTime);

  /// The node's chain; 0 for a node that was not reached, or that is on a
  /// cycle or waited for by one (a run breaks its cycles first).
  int64_t Of(const Node* node) const;

 private:
  struct Entry {
    size_t waiting;  // dependants whose chain is not known yet
    int64_t chain;
  };

  std::vector<Node*> Reach(const std::vector<Node*>& roots);

  std::unordered_map<const Node*, Entry> chains_;
};

}  // namespace kickstand
