#include "GraphFixture.h"

#include <fstream>
#include <sstream>

using testing_support::TestNode;

TestNode* GraphTest::Add(const std::string& name, uint32_t schedulingClass) {
  nodes_.push_back(std::make_unique<TestNode>(name, record_, schedulingClass));
  return nodes_.back().get();
}

TestNode* GraphTest::Plugin(const std::string& name, const std::vector<std::string>& requires,
                            const std::vector<std::string>& provides) {
  TestNode* node = Add(name);
  for (const std::string& barrier : requires)
    node->AddDependency(kickstand::InitBarrier::Get(barrier, true));
  for (const std::string& barrier : provides)
    node->AddDependant(kickstand::InitBarrier::Get(barrier, true));
  return node;
}

std::vector<kickstand::Node*> GraphTest::Nodes() const {
  std::vector<kickstand::Node*> all;
  for (const auto& node : nodes_) all.push_back(node.get());
  return all;
}

void GraphTest::StartAll(int threads, bool randomize, uint64_t seed) {
  kickstand::Executor executor(threads, randomize, seed);
  for (kickstand::Node* node : Nodes()) node->ScheduleStart(executor);
  for (kickstand::Node* node : Nodes()) node->WaitStarted();
}

void GraphTest::StopAll(int threads) {
  kickstand::Executor executor(threads, false, 1);
  for (kickstand::Node* node : Nodes()) node->ScheduleStop(executor);
  for (kickstand::Node* node : Nodes()) node->WaitStopped();
}

void GraphTest::Reset() {
  record_.Clear();
  nodes_.clear();
  kickstand::InitBarrier::ClearRegistry();
  testing_support::ClearScratchLogs();
}

std::string GraphTest::ScratchFile(const std::string& hostPath) const {
  std::ifstream file(testing_support::ScratchRoot() + hostPath);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
