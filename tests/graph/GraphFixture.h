#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "graph/BarrierLinks.h"
#include "graph/Executor.h"
#include "graph/Graph.h"
#include "graph/InitBarrier.h"
#include "graph/TimeChains.h"
#include "support/ScratchRoot.h"
#include "util/GlobalLock.h"

/// A node whose start and stop add its name to the test's events, under the
/// global lock, which a worker leaves while a node runs. An optional action
/// runs inside Activate (to throw or look at its neighbours).
class TestNode : public kickstand::Node {
 public:
  TestNode(const std::string& name, std::vector<std::string>& events, uint32_t schedulingClass)
      : Node(name, schedulingClass), events_(events) {}
  void Activate() override {
    if (action)
      action();
    Record(Name());
  }
  void Deactivate() override { Record("stop " + Name()); }
  std::string DotAttributes() const override { return ""; }

  std::function<void()> action;

 private:
  void Record(const std::string& event) {
    kickstand::ScopedLock lock;
    events_.push_back(event);
  }

  std::vector<std::string>& events_;
};

/// A graph of test nodes, made afresh for each test.
class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }

  TestNode* Add(const std::string& name, uint32_t schedulingClass = 1) {
    nodes_.push_back(graph_->Adopt(std::make_unique<TestNode>(name, events_, schedulingClass)));
    return nodes_.back();
  }
  /// A plugin-like node that requires and provides the named barriers.
  TestNode* Plugin(const std::string& name, const std::vector<std::string>& requires,
                   const std::vector<std::string>& provides) {
    TestNode* node = Add(name);
    kickstand::LinkRequiredBarriers(*graph_, *node, requires);
    kickstand::LinkProvidedBarriers(*graph_, *node, provides);
    return node;
  }
  std::vector<kickstand::Node*> Nodes() const { return {nodes_.begin(), nodes_.end()}; }
  /// Schedules every node in order on a fresh pool and waits for each; with
  /// no threads the calling thread runs them one step at a time.
  void StartAll(int threads, bool randomize = false, uint64_t seed = 1,
                const kickstand::TimeChains* chains = nullptr) {
    kickstand::Executor executor(threads, randomize, seed, chains);
    {
      kickstand::ScopedLock lock;  // as the driver does: no choice before all are scheduled
      for (kickstand::Node* node : Nodes()) node->ScheduleStart(executor);
    }
    if (threads == 0) executor.RunQueued();
    for (kickstand::Node* node : Nodes()) node->WaitStarted();
  }
  void StopAll(int threads) {
    kickstand::Executor executor(threads, false, 1);
    for (kickstand::Node* node : Nodes()) node->ScheduleStop(executor);
    if (threads == 0) executor.RunQueued();
    for (kickstand::Node* node : Nodes()) node->WaitStopped();
  }
  /// Forgets the graph, what ran and the host's logs, for another round.
  void Reset() {
    events_.clear();
    nodes_.clear();
    graph_ = std::make_unique<kickstand::Graph>();
    testing_support::ScratchRoot();
    testing_support::ClearScratchLogs();
  }

  std::vector<std::string> events_;  // read once the nodes have run
  std::unique_ptr<kickstand::Graph> graph_;
  std::vector<TestNode*> nodes_;
};
