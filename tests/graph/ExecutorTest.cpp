#include <random>

#include "GraphFixture.h"
#include "graph/CycleBreaker.h"
#include "graph/Executor.h"
#include "graph/ReadyQueue.h"

using kickstand::CycleBreaker;
using kickstand::Executor;
using kickstand::Node;

// Step by step on the calling thread: ready p (class 1, height 0), q (class
// 1, height 2) and r (class 3, height 5), queued in that order.
TEST_F(GraphTest, TheLowestClassThenTheLongestChainRunsFirst) {
  Add("p", 1);
  auto* q = Add("q", 1);
  auto* r = Add("r", 3);
  for (auto [node, length] : {std::pair<Node*, int>{q, 2}, {r, 5}}) {
    for (Node* last = node; length-- > 0;) {
      Node* below = Add(node->Name() + std::to_string(length));
      below->AddDependency(last);
      last = below;
    }
  }
  StartAll(0);
  // q0 and p tie at height 0; p was queued first.
  EXPECT_EQ(record_.Events(), (std::vector<std::string>{"q", "q1", "p", "q0", "r", "r4", "r3",
                                                        "r2", "r1", "r0"}));
}

TEST_F(GraphTest, RandomTieBreakTakesTheSeededCandidateInQueueOrder) {
  std::vector<Node*> equals{Add("a"), Add("b"), Add("c")};
  std::mt19937 random(7), expected(7);
  kickstand::ReadyQueue queue;
  for (Node* node : equals) queue.Push(node);
  EXPECT_EQ(queue.PopNext(&random), equals[expected() % 3]);

  std::vector<std::vector<std::string>> orders;
  for (int run = 0; run < 2; ++run) {
    Reset();
    for (int i = 0; i < 30; ++i) Add("n" + std::to_string(i));
    StartAll(1, true, 11);
    orders.push_back(record_.Events());
  }
  EXPECT_EQ(orders[0], orders[1]);
}

TEST_F(GraphTest, CyclesAreReportedOnceAndBrokenAtAPluginsWait) {
  auto* a = Add("a");
  auto* b = Add("b");
  a->AddDependency(b);
  b->AddDependency(a);
  Plugin("self", {"loop"}, {"loop"});
  Add("alone")->AddDependency(nodes_.back());
  Plugin("p", {"x"}, {"y"});
  Plugin("q", {"y"}, {"x"});
  Plugin("dup", {"d"}, {"d", "d"});
  std::vector<std::string> reported;
  std::vector<std::string> reports =
      CycleBreaker::BreakCycles(Nodes(), [&](const std::string& text) { reported.push_back(text); });
  std::string prefix = "Kickstand dependency error: dependency cycle ";
  std::vector<std::string> expected{
      prefix + "\"a\" -> \"b\" -> \"a\"; ignoring the dependency of \"b\" on \"a\"",
      prefix + "\"self\" -> \"loop\" -> \"self\"; ignoring the dependency of \"self\" on \"loop\"",
      prefix + "\"alone\" -> \"alone\"; ignoring the dependency of \"alone\" on \"alone\"",
      prefix + "\"p\" -> \"x\" -> \"q\" -> \"y\" -> \"p\"; "
               "ignoring the dependency of \"q\" on \"y\"",
      prefix + "\"dup\" -> \"d\" -> \"dup\"; ignoring the dependency of \"dup\" on \"d\""};
  EXPECT_EQ(reports, expected);
  EXPECT_EQ(reported, expected);
  StartAll(2);
  // Every barrier kept its provider: no alert.
  EXPECT_EQ(testing_support::ReadScratchFile("/var/log/alerts.log"), "");
  EXPECT_EQ(record_.Events().size(), nodes_.size());
}

// Random layered graphs on many workers: every node runs once, and only
// after everything it depends on. Run under ThreadSanitizer in CI.
TEST_F(GraphTest, RandomGraphsRunInDependencyOrderOnManyWorkers) {
  std::mt19937 random(20261205);
  for (int round = 0; round < 3; ++round) {
    std::atomic<int> violations{0};
    for (int i = 0; i < 3000; ++i) {
      std::vector<std::string> requires;
      for (int k = 0; k < 3 && i > 0; ++k)
        requires.push_back("b" + std::to_string(random() % i));
      auto* node = Plugin("n" + std::to_string(i), requires, {"b" + std::to_string(i)});
      node->action = [node, &violations] {
        for (Node* barrier : node->Dependencies())
          if (barrier->GetState() != Node::Started) ++violations;
      };
    }
    StartAll(8, round == 2, round);
    EXPECT_EQ(violations, 0);
    for (TestNode* node : nodes_) EXPECT_EQ(node->activations, 1);
    Reset();
  }
}
