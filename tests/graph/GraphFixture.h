#pragma once
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "graph/Executor.h"
#include "graph/InitBarrier.h"
#include "support/GraphNodes.h"
#include "support/ScratchRoot.h"

/// Owns the test nodes of one graph and frees its barriers afterwards.
class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ScratchRoot();
    testing_support::ClearScratchLogs();
  }
  void TearDown() override { kickstand::InitBarrier::ClearRegistry(); }

  testing_support::TestNode* Add(const std::string& name, uint32_t schedulingClass = 1);
  /// A plugin-like node that requires and provides the named barriers.
  testing_support::TestNode* Plugin(const std::string& name,
                                    const std::vector<std::string>& requires,
                                    const std::vector<std::string>& provides);
  std::vector<kickstand::Node*> Nodes() const;
  /// Schedules every node in order on a fresh pool and waits for each.
  void StartAll(int threads, bool randomize = false, uint64_t seed = 1);
  void StopAll(int threads);
  /// Forgets the graph and what ran, for another round in the same test.
  void Reset();
  std::string ScratchFile(const std::string& hostPath) const;

  testing_support::RunRecord record_;
  std::vector<std::unique_ptr<testing_support::TestNode>> nodes_;
};
