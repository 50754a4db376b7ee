#include "graph/CycleBreaker.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "graph/InitBarrier.h"
#include "graph/Node.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

bool IsBarrier(Node* node) { return dynamic_cast<InitBarrier*>(node) != nullptr; }

/// Index i of the edge cycle[i] -> cycle[i + 1] (wrapping) to drop. A
/// plugin's wait for a barrier is preferred: dropping a barrier's wait for
/// its provider would leave the barrier looking unprovided.
size_t EdgeToDrop(const std::vector<Node*>& cycle) {
  for (size_t i = cycle.size(); i-- > 0;)
    if (!IsBarrier(cycle[i]))
      return i;
  return cycle.size() - 1;
}

enum Mark { Unvisited, OnPath, Done };

using Edge = std::pair<Node*, Node*>;

struct EdgeHash {
  size_t operator()(const Edge& edge) const {
    return std::hash<Node*>()(edge.first) * 31 + std::hash<Node*>()(edge.second);
  }
};

/// One depth-first walk along dependencies over the whole graph, with an
/// explicit stack. A dependency still on the walk's path closes a cycle: the
/// path from it to the current node. The cycle is reported, its edge counts
/// as gone, and the walk goes on: dropping an edge makes no new cycle, so
/// finished nodes stay finished, and the nodes above the dropped edge leave
/// the path as if never entered, keeping how far their scan had come. It
/// finds what a fresh walk after every drop would find, in linear time.
class CycleWalk {
 public:
  explicit CycleWalk(const std::function<void(const std::string&)>& report) : report_(report) {}

  void Run(const std::vector<Node*>& roots) {
    for (Node* root : roots) {
      if (visits_[root].mark != Unvisited)
        continue;
      Enter(root);
      while (!path_.empty())
        Advance();
    }
  }

  /// The report texts, in the order found.
  std::vector<std::string> reports;
  /// The dropped edges, waiter first, in the order dropped.
  std::vector<Edge> dropped;

 private:
  struct Visit {
    Mark mark = Unvisited;
    size_t next = 0;  // the next dependency to look at
  };

  void Enter(Node* node) {
    visits_[node].mark = OnPath;
    path_.push_back(node);
  }

  void Advance() {
    Node* node = path_.back();
    Visit& visit = visits_[node];
    const std::vector<Node*>& dependencies = node->Dependencies();
    if (visit.next == dependencies.size()) {
      visit.mark = Done;
      path_.pop_back();
      return;
    }
    Node* dependency = dependencies[visit.next++];
    if (droppedSet_.count({node, dependency}) != 0)
      return;
    Mark mark = visits_[dependency].mark;
    if (mark == OnPath)
      Break(dependency);
    else if (mark == Unvisited)
      Enter(dependency);
  }

  void Break(Node* first) {
    auto start = std::find(path_.rbegin(), path_.rend(), first).base() - 1;
    std::vector<Node*> cycle(start, path_.end());
    reports.push_back("Kickstand dependency error: " + CycleBreaker::Describe(cycle));
    report_(reports.back());
    size_t drop = EdgeToDrop(cycle);
    Node* waiter = cycle[drop];
    dropped.emplace_back(waiter, cycle[(drop + 1) % cycle.size()]);
    droppedSet_.insert(dropped.back());
    // Each node above the waiter looks again at the dependency it was
    // following when it is next entered.
    while (path_.back() != waiter) {
      Visit& visit = visits_[path_.back()];
      visit.mark = Unvisited;
      --visit.next;
      path_.pop_back();
    }
  }

  const std::function<void(const std::string&)>& report_;
  std::unordered_map<Node*, Visit> visits_;
  std::vector<Node*> path_;
  std::unordered_set<Edge, EdgeHash> droppedSet_;
};

}  // namespace

std::string CycleBreaker::Describe(const std::vector<Node*>& cycle) {
  size_t drop = EdgeToDrop(cycle);
  Node* waiter = cycle[drop];
  Node* waitedFor = cycle[(drop + 1) % cycle.size()];
  std::string text = "dependency cycle ";
  for (Node* node : cycle)
    text += "\"" + node->Name() + "\" -> ";
  return text + "\"" + cycle.front()->Name() + "\"; ignoring the dependency of \"" +
         waiter->Name() + "\" on \"" + waitedFor->Name() + "\"";
}

std::vector<std::string> CycleBreaker::BreakCycles(
    const std::vector<Node*>& roots, const std::function<void(const std::string&)>& report) {
  ScopedLock lock;
  CycleWalk walk(report);
  walk.Run(roots);
  Node::RemoveDependencies(walk.dropped);
  return walk.reports;
}

}  // namespace kickstand
