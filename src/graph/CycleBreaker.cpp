#include "graph/CycleBreaker.h"

#include <algorithm>
#include <unordered_map>

#include "graph/Node.h"
#include "platform/Log.h"
#include "platform/SystemInfoImpl.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

enum Mark { Unvisited, OnPath, Done };

/// Depth-first walk along dependencies with an explicit stack. A dependency
/// that is still on the walk's path closes a cycle: the path from it to the
/// current node.
class CycleWalk {
 public:
  std::vector<std::string> reports;

  void From(Node* root) {
    if (marks_[root] != Unvisited)
      return;
    Enter(root);
    while (!path_.empty())
      Advance();
  }

 private:
  struct Frame { Node* node; size_t next; };

  void Enter(Node* node) {
    marks_[node] = OnPath;
    path_.push_back({node, 0});
  }

  void Advance() {
    Frame& top = path_.back();
    const std::vector<Node*>& dependencies = top.node->Dependencies();
    if (top.next == dependencies.size()) {
      marks_[top.node] = Done;
      path_.pop_back();
      return;
    }
    Node* dependency = dependencies[top.next];
    Mark mark = marks_[dependency];
    if (mark == Unvisited) {
      ++top.next;
      Enter(dependency);
    } else if (mark == OnPath) {
      Break(top.node, dependency);  // the edge is gone; top.next now points past it
    } else {
      ++top.next;
    }
  }

  void Break(Node* last, Node* first) {
    auto start = std::find_if(path_.begin(), path_.end(),
                              [first](const Frame& f) { return f.node == first; });
    std::vector<Node*> cycle;
    for (auto frame = start; frame != path_.end(); ++frame)
      cycle.push_back(frame->node);
    std::string text = "Kickstand dependency error: " + CycleBreaker::Describe(cycle);
    Log_Level(2, "%s\n", text.c_str());
    OzkCtl::System::SystemInfoImpl().SetSystemAlert(text);
    reports.push_back(text);
    last->RemoveDependency(first);
  }

  std::unordered_map<Node*, Mark> marks_;
  std::vector<Frame> path_;
};

}  // namespace

std::string CycleBreaker::Describe(const std::vector<Node*>& cycle) {
  std::string text = "dependency cycle ";
  for (Node* node : cycle)
    text += "\"" + node->Name() + "\" -> ";
  text += "\"" + cycle.front()->Name() + "\"; ignoring the dependency of \"" +
          cycle.back()->Name() + "\" on \"" + cycle.front()->Name() + "\"";
  return text;
}

std::vector<std::string> CycleBreaker::BreakCycles(const std::vector<Node*>& roots) {
  ScopedLock lock;
  CycleWalk walk;
  for (Node* root : roots)
    walk.From(root);
  return walk.reports;
}

}  // namespace kickstand
