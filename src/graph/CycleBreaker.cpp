#include "graph/CycleBreaker.h"

#include <algorithm>
#include <unordered_map>

#include "graph/InitBarrier.h"
#include "graph/Node.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

enum Mark { Unvisited, OnPath, Done };

/// Depth-first walk along dependencies with an explicit stack. A dependency
/// that is still on the walk's path closes a cycle: the path from it to the
/// current node.
class CycleFinder {
 public:
  /// The first cycle reachable from roots, in the order found; empty if none.
  std::vector<Node*> Find(const std::vector<Node*>& roots) {
    for (Node* root : roots) {
      if (marks_[root] != Unvisited)
        continue;
      Enter(root);
      while (!path_.empty()) {
        if (Node* first = Advance())
          return CycleFrom(first);
      }
    }
    return {};
  }

 private:
  struct Frame { Node* node; size_t next; };

  void Enter(Node* node) {
    marks_[node] = OnPath;
    path_.push_back({node, 0});
  }

  /// The node that closes a cycle, or null.
  Node* Advance() {
    Frame& top = path_.back();
    const std::vector<Node*>& dependencies = top.node->Dependencies();
    if (top.next == dependencies.size()) {
      marks_[top.node] = Done;
      path_.pop_back();
      return nullptr;
    }
    Node* dependency = dependencies[top.next++];
    Mark mark = marks_[dependency];
    if (mark == OnPath)
      return dependency;
    if (mark == Unvisited)
      Enter(dependency);
    return nullptr;
  }

  std::vector<Node*> CycleFrom(Node* first) const {
    auto start = std::find_if(path_.begin(), path_.end(),
                              [first](const Frame& f) { return f.node == first; });
    std::vector<Node*> cycle;
    for (auto frame = start; frame != path_.end(); ++frame)
      cycle.push_back(frame->node);
    return cycle;
  }

  std::unordered_map<Node*, Mark> marks_;
  std::vector<Frame> path_;
};

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

// Cycles are rare, so each broken one simply starts a fresh walk.
std::vector<std::string> CycleBreaker::BreakCycles(
    const std::vector<Node*>& roots, const std::function<void(const std::string&)>& report) {
  ScopedLock lock;
  std::vector<std::string> reports;
  for (;;) {
    std::vector<Node*> cycle = CycleFinder().Find(roots);
    if (cycle.empty())
      return reports;
    reports.push_back("Kickstand dependency error: " + Describe(cycle));
    report(reports.back());
    size_t drop = EdgeToDrop(cycle);
    cycle[drop]->RemoveDependency(cycle[(drop + 1) % cycle.size()]);
  }
}

}  // namespace kickstand
