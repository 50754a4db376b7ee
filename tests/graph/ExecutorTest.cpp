#include <random>
#include <set>

#include "GraphFixture.h"
#include "graph/CycleBreaker.h"
#include "graph/Executor.h"
#include "graph/ReadyQueue.h"

using kickstand::CycleBreaker;
using kickstand::Executor;
using kickstand::InitBarrier;
using kickstand::Node;
using kickstand::ReadyQueue;

namespace {

/// Gives node a chain of `length` dependants so that its height is length.
void Lengthen(Node* node, int length,
              const std::function<testing_support::TestNode*(const std::string&)>& add) {
  Node* last = node;
  for (int i = 0; i < length; ++i) {
    Node* next = add(node->Name() + "+" + std::to_string(i));
    next->AddDependency(last);
    last = next;
  }
}

}  // namespace

// Nodes that are not queued for starting are ranked by depth, as in a stop run.
TEST_F(GraphTest, ReadyQueuePrefersLowerClassThenLongerPath) {
  auto deepen = [this](Node* node, int length) {
    for (Node* last = node; length-- > 0;) {
      Node* above = Add(node->Name() + "-" + std::to_string(length));
      last->AddDependency(above);
      last = above;
    }
  };
  auto* p = Add("p", 1);
  auto* q = Add("q", 1);
  auto* r = Add("r", 3);
  deepen(q, 2);
  deepen(r, 5);
  ReadyQueue queue;
  for (Node* node : {static_cast<Node*>(p), static_cast<Node*>(q), static_cast<Node*>(r)})
    queue.Push(node);
  EXPECT_EQ(queue.PopNext(nullptr), q);
  EXPECT_EQ(queue.PopNext(nullptr), p);
  EXPECT_EQ(queue.PopNext(nullptr), r);
  EXPECT_TRUE(queue.Empty());
}

TEST_F(GraphTest, ReadyQueueTakesEarliestOrSeededRandomAmongEquals) {
  std::vector<Node*> equals{Add("a"), Add("b"), Add("c")};
  ReadyQueue fifo;
  for (Node* node : equals) fifo.Push(node);
  EXPECT_EQ(fifo.PopNext(nullptr), equals[0]);

  std::mt19937 random(7), expected(7);
  ReadyQueue queue;
  for (Node* node : equals) queue.Push(node);
  size_t index = expected() % 3;
  EXPECT_EQ(queue.PopNext(&random), equals[index]);
  EXPECT_EQ(queue.Size(), 2u);
}

TEST_F(GraphTest, OneWorkerRunsMostUrgentQueuedFirst) {
  // The gate holds the only worker while p, q and r become ready.
  std::mutex gate;
  gate.lock();
  auto* blocker = Add("blocker");
  blocker->action = [&gate] { std::lock_guard<std::mutex> wait(gate); };
  auto add = [this](const std::string& name) { return Add(name); };
  auto* p = Add("p", 1);
  auto* q = Add("q", 1);
  auto* r = Add("r", 3);
  Lengthen(q, 2, add);
  Lengthen(r, 5, add);
  {
    Executor executor(1, false, 1);
    blocker->ScheduleStart(executor);
    for (Node* node : {static_cast<Node*>(p), static_cast<Node*>(q), static_cast<Node*>(r)})
      node->ScheduleStart(executor);
    gate.unlock();
    for (Node* node : Nodes()) node->ScheduleStart(executor);
    for (Node* node : Nodes()) node->WaitStarted();
  }
  EXPECT_LT(record_.IndexOf("q"), record_.IndexOf("p"));
  EXPECT_LT(record_.IndexOf("p"), record_.IndexOf("r"));
}

TEST_F(GraphTest, SameSeedSameOrder) {
  auto run = [this](uint64_t seed) {
    record_.Clear();
    nodes_.clear();
    for (int i = 0; i < 30; ++i) Add("n" + std::to_string(i));
    Executor executor(1, true, seed);
    for (Node* node : Nodes()) node->ScheduleStart(executor);
    for (Node* node : Nodes()) node->WaitStarted();
    return record_.Events();
  };
  EXPECT_EQ(run(11), run(11));
}

TEST_F(GraphTest, CyclesAreReportedAndBrokenSoEveryNodeStarts) {
  auto* a = Add("a");
  auto* b = Add("b");
  a->AddDependency(b);
  b->AddDependency(a);
  auto* self = Plugin("self", {"loop"}, {"loop"});
  testing::internal::CaptureStderr();
  std::vector<std::string> reports = CycleBreaker::BreakCycles(Nodes());
  std::string log = testing::internal::GetCapturedStderr();
  std::vector<std::string> expected{
      "Kickstand dependency error: dependency cycle \"a\" -> \"b\" -> \"a\"; "
      "ignoring the dependency of \"b\" on \"a\"",
      "Kickstand dependency error: dependency cycle \"self\" -> \"loop\" -> \"self\"; "
      "ignoring the dependency of \"loop\" on \"self\""};
  EXPECT_EQ(reports, expected);
  EXPECT_EQ(ScratchFile("/var/log/alerts.log"), expected[0] + "\n" + expected[1] + "\n");
  EXPECT_NE(log.find(expected[1]), std::string::npos);
  Executor executor(2, false, 1);
  for (Node* node : Nodes()) node->ScheduleStart(executor);
  for (Node* node : Nodes()) node->WaitStarted();
  EXPECT_EQ(a->activations + b->activations + self->activations, 3);
}

TEST_F(GraphTest, SelfDependencyIsACycleOfOne) {
  auto* a = Add("a");
  a->AddDependency(a);
  EXPECT_EQ(CycleBreaker::BreakCycles(Nodes()),
            std::vector<std::string>{"Kickstand dependency error: dependency cycle \"a\" -> "
                                     "\"a\"; ignoring the dependency of \"a\" on \"a\""});
  EXPECT_TRUE(a->Dependencies().empty());
}

TEST_F(GraphTest, ZeroWorkersRunNothing) {
  Executor executor(0, false, 1);
  auto* a = Add("a");
  a->ScheduleStart(executor);
  EXPECT_EQ(a->GetState(), Node::StartQueued);
}

// Random layered graphs on many workers: every node runs once, and only
// after everything it depends on. Run under ThreadSanitizer in CI.
TEST_F(GraphTest, RandomGraphsRunInDependencyOrderOnManyWorkers) {
  std::mt19937 random(20261205);
  for (int round = 0; round < 3; ++round) {
    nodes_.clear();
    InitBarrier::ClearRegistry();
    std::atomic<int> violations{0};
    const int count = 3000;
    for (int i = 0; i < count; ++i) {
      std::vector<std::string> requires;
      for (int k = 0; k < 3 && i > 0; ++k)
        requires.push_back("b" + std::to_string(random() % i));
      auto* node = Plugin("n" + std::to_string(i), requires, {"b" + std::to_string(i)});
      node->action = [node, &violations] {
        for (Node* barrier : node->Dependencies())
          if (barrier->GetState() != Node::Started) ++violations;
      };
    }
    Executor executor(8, round == 2, round);
    for (Node* node : Nodes()) node->ScheduleStart(executor);
    for (Node* node : Nodes()) node->WaitStarted();
    EXPECT_EQ(violations, 0);
    for (auto& node : nodes_) EXPECT_EQ(node->activations, 1);
  }
}
