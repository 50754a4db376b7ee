#include "graph/Node.h"

#include <algorithm>
#include <exception>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "graph/Executor.h"
#include "platform/Log.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

const int32_t kUnknown = -1;
const int32_t kComputing = -2;

using Neighbours = const std::vector<Node*>& (Node::*)() const;

/// Longest chain along `next` from start, cached in `field`. Iterative, so
/// a chain of a hundred thousand nodes does not exhaust a worker's stack;
/// a node met while it is still being computed (a cycle) counts as 0.
template <typename Field>
int32_t LongestChain(Node* start, Field field, Neighbours next) {
  struct Frame { Node* node; size_t index; int32_t best; };
  std::vector<Frame> stack{{start, 0, 0}};
  field(start) = kComputing;
  while (!stack.empty()) {
    Frame& top = stack.back();
    const std::vector<Node*>& neighbours = (top.node->*next)();
    if (top.index < neighbours.size()) {
      Node* neighbour = neighbours[top.index++];
      int32_t value = field(neighbour);
      if (value == kUnknown) {
        field(neighbour) = kComputing;
        stack.push_back({neighbour, 0, 0});
      } else {
        top.best = std::max(top.best, value == kComputing ? 0 : value + 1);
      }
      continue;
    }
    int32_t result = top.best;
    field(top.node) = result;
    stack.pop_back();
    if (!stack.empty())
      stack.back().best = std::max(stack.back().best, result + 1);
  }
  return field(start);
}

void Unlink(std::vector<Node*>& list, const std::unordered_set<Node*>& nodes) {
  list.erase(std::remove_if(list.begin(), list.end(), [&](Node* n) { return nodes.count(n); }),
             list.end());
}

}  // namespace

Node::Node(const std::string& name, uint32_t schedulingClass)
    : name_(name), schedulingClass_(schedulingClass) {}

Node::State Node::GetState() const {
  ScopedLock lock;
  return state_;
}

void Node::AddDependency(Node* other) {
  ScopedLock lock;
  other->height_ = kUnknown;
  depth_ = kUnknown;
  other->dependants_.push_back(this);
  dependencies_.push_back(other);
}

void Node::AddDependant(Node* other) { other->AddDependency(this); }

void Node::RemoveDependencies(const std::vector<std::pair<Node*, Node*>>& edges) {
  ScopedLock lock;
  std::unordered_map<Node*, std::unordered_set<Node*>> waitsFor, waitedFor;
  for (const auto& [waiter, other] : edges) {
    waitsFor[waiter].insert(other);
    waitedFor[other].insert(waiter);
  }
  for (const auto& [node, others] : waitsFor) {
    Unlink(node->dependencies_, others);
    node->depth_ = kUnknown;
  }
  for (const auto& [node, others] : waitedFor) {
    Unlink(node->dependants_, others);
    node->height_ = kUnknown;
  }
}

// The start and stop directions mirror each other: a start waits for the
// dependencies, a stop for the dependants.
struct Node::Direction {
  State pending, queued, done;
  std::vector<Node*> Node::*waitsFor;
  std::vector<Node*> Node::*releases;
};

const Node::Direction Node::kStart{StartPending, StartQueued, Started,
                                   &Node::dependencies_, &Node::dependants_};
const Node::Direction Node::kStop{StopPending, StopQueued, Stopped,
                                  &Node::dependants_, &Node::dependencies_};

void Node::ScheduleStart(Executor& executor) { Schedule(kStart, executor); }

void Node::ScheduleStop(Executor& executor) { Schedule(kStop, executor); }

// Schedules this node and, depth first, every idle node it waits for. An
// explicit stack instead of recursion: a chain of tens of thousands of
// plugins listed in reverse must not exhaust the main thread's stack. Each
// node's walk counts the neighbours it waits for; from then on their
// completions count down, so no list is walked twice.
void Node::Schedule(const Direction& direction, Executor& executor) {
  struct Frame { Node* node; size_t next; bool descended; uint32_t blocking; };
  ScopedLock lock;
  if (state_ == direction.pending)
    return;  // walked already; what it waits for counts down as it completes
  std::vector<Frame> stack;
  auto enter = [&](Node* node) {
    if (node->state_ == direction.queued || node->state_ == direction.done)
      return;
    if (node->state_ == Idle)
      node->state_ = direction.pending;
    stack.push_back({node, 0, false, 0});
  };
  enter(this);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::vector<Node*>& waitsFor = frame.node->*direction.waitsFor;
    if (frame.next == waitsFor.size()) {
      Node* node = frame.node;
      uint32_t blocking = frame.blocking;
      stack.pop_back();
      if (blocking == 0)
        node->Enqueue(direction, executor);
      else if (node->state_ == direction.pending)  // not one pending the other way
        node->waitingFor_ = blocking;
      continue;
    }
    Node* other = waitsFor[frame.next];
    if (other->state_ == Idle && !frame.descended) {
      frame.descended = true;
      enter(other);
      continue;
    }
    frame.blocking += other->state_ == direction.pending || other->state_ == direction.queued;
    frame.descended = false;
    ++frame.next;
  }
}

void Node::Enqueue(const Direction& direction, Executor& executor) {
  state_ = direction.queued;
  executor.Enqueue(this);
}

void Node::Process(Executor& executor) {
  const Direction& direction = GetState() == StartQueued ? kStart : kStop;
  RunOperation(&direction == &kStart);
  Complete(direction, executor);
}

void Node::RunOperation(bool starting) {
  try {
    if (starting)
      Activate();
    else
      Deactivate();
  } catch (const std::exception& e) {
    Log_Level(2, "unhandled exception whilst processing %s: %s\n", name_.c_str(), e.what());
  } catch (...) {
    Log_Level(2, "ignoring unknown exception whilst processing %s ...\n", name_.c_str());
  }
}

// Every neighbour waiting in this direction counted each of its edges to
// this node, so each edge counts down once. A second pass queues those left
// waiting for nothing, each where it first appears in the list: there a
// fresh look at its list would have found nothing blocking.
void Node::Complete(const Direction& direction, Executor& executor) {
  ScopedLock lock;
  state_ = direction.done;
  const std::vector<Node*>& released = this->*direction.releases;
  for (Node* node : released) {
    if (node->state_ == direction.pending)
      --node->waitingFor_;
  }
  for (Node* node : released) {
    if (node->state_ == direction.pending && node->waitingFor_ == 0)
      node->Enqueue(direction, executor);
  }
  stateChanged_.notify_all();
}

void Node::WaitStarted() { WaitFor(Started); }

void Node::WaitStopped() { WaitFor(Stopped); }

void Node::WaitFor(State wanted) {
  ScopedLock lock;
  while (state_ != wanted)
    lock.Wait(stateChanged_);
}

void Node::MarkStarted() {
  ScopedLock lock;
  state_ = Started;
}

int32_t Node::GetDepth() {
  ScopedLock lock;
  if (depth_ >= 0)
    return depth_;
  return LongestChain(this, [](Node* n) -> int32_t& { return n->depth_; },
                      &Node::Dependencies);
}

int32_t Node::GetHeight() {
  ScopedLock lock;
  if (height_ >= 0)
    return height_;
  return LongestChain(this, [](Node* n) -> int32_t& { return n->height_; },
                      &Node::Dependants);
}

int32_t Node::PathLength() {
  ScopedLock lock;
  return state_ == StartQueued ? GetHeight() : GetDepth();
}

void Node::Dump(std::ostream& out) {
  out << static_cast<const void*>(this) << " [label=\"" << name_ << "\""
      << DotAttributes() << "];" << std::endl;
  ScopedLock lock;
  for (Node* dependant : dependants_)
    out << static_cast<const void*>(this) << " -> "
        << static_cast<const void*>(dependant) << ";" << std::endl;
}

}  // namespace kickstand
