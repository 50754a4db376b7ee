#pragma once
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

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

  testing_support::TestNode* Add(const std::string& name, uint32_t schedulingClass = 1) {
    nodes_.push_back(std::make_unique<testing_support::TestNode>(name, record_, schedulingClass));
    return nodes_.back().get();
  }
  /// A plugin-like node that requires and provides the named barriers.
  testing_support::TestNode* Plugin(const std::string& name,
                                    const std::vector<std::string>& requires,
                                    const std::vector<std::string>& provides) {
    testing_support::TestNode* node = Add(name);
    for (const std::string& barrier : requires)
      node->AddDependency(kickstand::InitBarrier::Get(barrier, true));
    for (const std::string& barrier : provides)
      node->AddDependant(kickstand::InitBarrier::Get(barrier, true));
    return node;
  }
  std::vector<kickstand::Node*> Nodes() const {
    std::vector<kickstand::Node*> all;
    for (const auto& node : nodes_) all.push_back(node.get());
    return all;
  }
  std::string ScratchFile(const std::string& hostPath) const;

  testing_support::RunRecord record_;
  std::vector<std::unique_ptr<testing_support::TestNode>> nodes_;
};
