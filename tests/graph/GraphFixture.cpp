#include "GraphFixture.h"

#include "graph/BarrierLinks.h"
#include "graph/Executor.h"
#include "util/GlobalLock.h"

void RunRecord::Add(const std::string& event) {
  std::lock_guard<std::mutex> guard(mutex_);
  events_.push_back(event);
}

void RunRecord::Clear() {
  std::lock_guard<std::mutex> guard(mutex_);
  events_.clear();
}

std::vector<std::string> RunRecord::Events() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return events_;
}

void TestNode::Activate() {
  ++activations;
  if (action)
    action();
  record_.Add(Name());
}

TestNode* GraphTest::Add(const std::string& name, uint32_t schedulingClass) {
  nodes_.push_back(graph_->Adopt(std::make_unique<TestNode>(name, record_, schedulingClass)));
  return nodes_.back();
}

TestNode* GraphTest::Plugin(const std::string& name, const std::vector<std::string>& requires,
                            const std::vector<std::string>& provides) {
  TestNode* node = Add(name);
  kickstand::LinkRequiredBarriers(*graph_, *node, requires);
  kickstand::LinkProvidedBarriers(*graph_, *node, provides);
  return node;
}

std::vector<kickstand::Node*> GraphTest::Nodes() const {
  return std::vector<kickstand::Node*>(nodes_.begin(), nodes_.end());
}

void GraphTest::StartAll(int threads, bool randomize, uint64_t seed,
                         const kickstand::TimeChains* chains) {
  kickstand::Executor executor(threads, randomize, seed, chains);
  {
    kickstand::ScopedLock lock;  // as the driver does: no choice before all are scheduled
    for (kickstand::Node* node : Nodes()) node->ScheduleStart(executor);
  }
  if (threads == 0) executor.RunQueued();
  for (kickstand::Node* node : Nodes()) node->WaitStarted();
}

void GraphTest::StopAll(int threads) {
  kickstand::Executor executor(threads, false, 1);
  for (kickstand::Node* node : Nodes()) node->ScheduleStop(executor);
  if (threads == 0) executor.RunQueued();
  for (kickstand::Node* node : Nodes()) node->WaitStopped();
}

void GraphTest::Reset() {
  record_.Clear();
  nodes_.clear();
  graph_ = std::make_unique<kickstand::Graph>();
  testing_support::ClearScratchLogs();
}
