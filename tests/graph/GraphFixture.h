#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "graph/Graph.h"
#include "graph/InitBarrier.h"
#include "graph/TimeChains.h"
#include "support/ScratchRoot.h"

/// The order in which test nodes ran, shared by the workers.
class RunRecord {
 public:
  void Add(const std::string& event);
  void Clear();
  std::vector<std::string> Events() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

/// A node whose start and stop record its name; an optional action runs
/// inside Activate (to throw or look at its neighbours).
class TestNode : public kickstand::Node {
 public:
  TestNode(const std::string& name, RunRecord& record, uint32_t schedulingClass)
      : Node(name, schedulingClass), record_(record) {}
  void Activate() override;
  void Deactivate() override { record_.Add("stop " + Name()); }
  std::string DotAttributes() const override { return ""; }

  std::function<void()> action;
  std::atomic<int> activations{0};

 private:
  RunRecord& record_;
};

/// A graph of test nodes, made afresh for each test.
class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ScratchRoot();
    testing_support::ClearScratchLogs();
  }

  TestNode* Add(const std::string& name, uint32_t schedulingClass = 1);
  /// A plugin-like node that requires and provides the named barriers.
  TestNode* Plugin(const std::string& name, const std::vector<std::string>& requires,
                   const std::vector<std::string>& provides);
  kickstand::InitBarrier* Barrier(const std::string& name) {
    return kickstand::InitBarrier::Get(*graph_, name, false);
  }
  std::vector<kickstand::Node*> Nodes() const;
  /// Schedules every node in order on a fresh pool and waits for each; with
  /// no threads the calling thread runs them one step at a time.
  void StartAll(int threads, bool randomize = false, uint64_t seed = 1,
                const kickstand::TimeChains* chains = nullptr);
  void StopAll(int threads);
  /// Forgets the graph and what ran, for another round in the same test.
  void Reset();

  RunRecord record_;
  std::unique_ptr<kickstand::Graph> graph_ = std::make_unique<kickstand::Graph>();
  std::vector<TestNode*> nodes_;
};
