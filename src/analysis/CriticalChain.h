#pragma once
#include <cstddef>
#include <set>
#include <utility>
#include <vector>

namespace kickstand {

class BootTimeline;
class Node;

/// The chain of plugins that decided when one plugin could start: from it
/// back through the dependency that ended last, to a plugin that waited
/// for nothing.
class CriticalChain {
 public:
  /// The chain from a row of the timeline.
  CriticalChain(const BootTimeline& timeline, size_t from);

  /// Timeline rows, the given plugin first, deepest last.
  const std::vector<size_t>& Rows() const { return rows_; }
  /// Whether a node (plugin or barrier) lies on the chain.
  bool Contains(const Node* node) const { return nodes_.count(node) != 0; }
  /// Whether the chain runs along the edge from dependency to dependant.
  bool ContainsEdge(const Node* dependency, const Node* dependant) const {
    return edges_.count({dependency, dependant}) != 0;
  }

 private:
  std::vector<size_t> rows_;
  std::set<const Node*> nodes_;
  std::set<std::pair<const Node*, const Node*>> edges_;
};

}  // namespace kickstand
