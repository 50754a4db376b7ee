#pragma once
#include <condition_variable>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kickstand {

class Executor;

/// A node of the dependency graph: a plugin or a barrier. Every field is
/// guarded by the global lock; nodes live until the process ends.
class Node {
 public:
  enum State : uint32_t {
    Idle,          // not yet asked to start or stop
    StartPending,  // asked to start; waits for its dependencies
    StopPending,   // asked to stop; waits for its dependants
    StartQueued,   // in the ready queue, to be started by a worker
    StopQueued,    // in the ready queue, to be stopped by a worker
    Started,       // its start work returned, or it was marked started
    Stopped        // its stop work returned
  };

  Node(const std::string& name, uint32_t schedulingClass);
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  /// The node's start work; runs on a worker without the global lock.
  virtual void Activate() = 0;
  /// The node's stop work; nothing by default.
  virtual void Deactivate() {}
  /// Text written after the node's label in the graph dump.
  virtual std::string DotAttributes() const = 0;

  const std::string& Name() const { return name_; }
  uint32_t SchedulingClass() const { return schedulingClass_; }
  State GetState() const;
  const std::vector<Node*>& Dependencies() const { return dependencies_; }
  const std::vector<Node*>& Dependants() const { return dependants_; }

  /// This node starts only after other has started.
  void AddDependency(Node* other);
  /// Other starts only after this node has started.
  void AddDependant(Node* other);
  /// For each pair, drops every edge by which the first node waits for the
  /// second. Each list is rewritten once, however many of its edges go.
  static void RemoveDependencies(const std::vector<std::pair<Node*, Node*>>& edges);

  void ScheduleStart(Executor& executor);
  void ScheduleStop(Executor& executor);
  /// Runs the queued operation and releases the neighbours; called by a
  /// worker without the lock. Exceptions never escape.
  void Process(Executor& executor);
  void WaitStarted();
  void WaitStopped();
  /// Started without running and without waking anyone; only before the
  /// node is scheduled, as nodes that wait for it count it until it completes.
  void MarkStarted();

  int32_t GetDepth();
  int32_t GetHeight();
  /// Height while queued for starting, depth otherwise.
  int32_t PathLength();

  /// The node's label line and its outgoing edges in Graphviz text.
  void Dump(std::ostream& out);

 private:
  struct Direction;
  static const Direction kStart;
  static const Direction kStop;

  void Schedule(const Direction& direction, Executor& executor);
  void Enqueue(const Direction& direction, Executor& executor);
  void RunOperation(bool starting);
  void Complete(const Direction& direction, Executor& executor);
  void WaitFor(State wanted);

  std::string name_;
  std::vector<Node*> dependencies_;
  std::vector<Node*> dependants_;
  uint32_t schedulingClass_;
  int32_t height_ = -1;
  int32_t depth_ = -1;
  State state_ = Idle;
  /// While pending: the edges to neighbours it still waits for (dependencies
  /// when starting, dependants when stopping).
  uint32_t waitingFor_ = 0;
  std::condition_variable_any stateChanged_;
};

}  // namespace kickstand
