#include <atomic>
#include <map>
#include <random>

#include "GraphFixture.h"
#include "graph/PriorityBarrier.h"

using kickstand::Node;
using kickstand::PriorityBarrier;

// Step by step, with own times by name: asking for a barrier's would throw.
// a and mid head chains of four nodes (a -> x -> a2 -> y -> a3, mid -> x),
// slow has nothing after it; the init.d services (class 3) come after every
// plugin whatever their chains. In time slow and mid outweigh a, and t10
// outweighs s10 only through s20, whose priority comes after both. A tie
// goes to the node queued first.
TEST_F(GraphTest, TheLowestClassThenTheLongestChainInNodesOrInTimeGoesFirst) {
  const std::map<std::string, int64_t> own{{"a", 1},  {"a2", 1},   {"a3", 1},  {"slow", 100},
                                           {"mid", 10}, {"s10", 5}, {"t10", 50}, {"s20", 500}};
  std::vector<std::vector<std::string>> orders;
  for (bool inTime : {false, true}) {
    Plugin("a", {}, {"x"});
    Plugin("a2", {"x"}, {"y"});
    Plugin("a3", {"y"}, {});
    Plugin("slow", {}, {});
    Plugin("mid", {}, {"x"});
    for (auto [name, priority] : {std::pair{"s10", 10u}, {"t10", 10u}, {"s20", 20u}}) {
      Node* member = Add(name, 3);
      kickstand::ScopedLock lock;
      PriorityBarrier::Get(*graph_, priority)->AddMember(member);
    }
    kickstand::TimeChains chains(Nodes(), [&](const Node& node) { return own.at(node.Name()); });
    StartAll(0, false, 1, inTime ? &chains : nullptr);
    orders.push_back(events_);
    Reset();
  }
  EXPECT_EQ(orders[0], (std::vector<std::string>{"a", "mid", "a2", "slow", "a3", "s10", "t10",
                                                 "s20"}));
  EXPECT_EQ(orders[1], (std::vector<std::string>{"slow", "mid", "a", "a2", "a3", "t10", "s10",
                                                 "s20"}));
}

// Thirty equals on one worker: a seed gives its own order, again and again.
TEST_F(GraphTest, RandomTieBreakFollowsTheSeed) {
  std::vector<std::vector<std::string>> orders;
  for (bool randomize : {true, true, false}) {
    for (int i = 0; i < 30; ++i) Add("n" + std::to_string(i));
    StartAll(1, randomize, 11);
    orders.push_back(events_);
    Reset();
  }
  EXPECT_EQ(orders[0], orders[1]);
  EXPECT_NE(orders[0], orders[2]);
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
    EXPECT_EQ(events_.size(), nodes_.size());  // each ran once
    Reset();
  }
}
