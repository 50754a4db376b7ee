#pragma once
#include <deque>
#include <ostream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kickstand {

class BootTimeline;
class CriticalChain;
class Graph;
class Node;
class Plugin;

/// The graph as Graphviz text, as the dump draws it (an arrow from what is
/// waited for to what waits), with each plugin's duration, kind and
/// failure, and the critical chain's nodes and edges in another colour.
/// Plugins kept out of the run are drawn dashed.
class TimedDot {
 public:
  /// chain may be null (no plugin ran).
  TimedDot(Graph& graph, const std::deque<Plugin*>& nodes, const BootTimeline& timeline,
           const CriticalChain* chain);

  void Write(std::ostream& out) const;

 private:
  void Collect(Graph& graph, const std::deque<Plugin*>& nodes);
  void WriteNode(std::ostream& out, size_t index) const;
  void WriteEdges(std::ostream& out, size_t index) const;

  std::vector<const Node*> order_;
  std::unordered_map<const Node*, size_t> index_;
  std::unordered_map<const Node*, size_t> row_;
  std::unordered_set<const Node*> inList_;
  const BootTimeline& timeline_;
  const CriticalChain* chain_;
};

}  // namespace kickstand
