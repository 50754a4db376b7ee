// The dependency graph: its nodes and barriers, their reports and dump, and
// the worker pool that runs them, on test nodes that record what ran.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "graph/BarrierLinks.h"
#include "graph/CycleBreaker.h"
#include "graph/Executor.h"
#include "graph/Graph.h"
#include "graph/InitBarrier.h"
#include "graph/PriorityBarrier.h"
#include "graph/TimeChains.h"
#include "support/ScratchRoot.h"
#include "util/GlobalLock.h"

namespace {

using kickstand::CycleBreaker;
using kickstand::InitBarrier;
using kickstand::Node;

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
  /// Stops every node in order, one step at a time.
  void StopAll() {
    kickstand::Executor executor(0, false, 1);
    for (Node* node : Nodes()) node->ScheduleStop(executor);
    executor.RunQueued();
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

// Step by step: bad runs first (the longest chain), then net.
TEST_F(GraphTest, AMissingProviderOrAThrowingNodeHoldsBackNoOneAndAlertsOutsideInvoke) {
  const std::string missing =
      "Kickstand dependency error: Initialization barrier \"net\" is not provided by any "
      "plugin but the following plugins require it: \"a\", \"b\"";
  for (bool invoke : {false, true}) {
    if (invoke) graph_->alert = nullptr;
    Plugin("a", {"net"}, {});
    Plugin("b", {"net", "x"}, {});
    Plugin("bad", {}, {"x"})->action = [] { throw 42; };
    testing::internal::CaptureStderr();
    StartAll(0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ignoring unknown exception whilst processing bad ...\n" + missing + "\n");
    EXPECT_EQ(testing_support::ReadScratchFile("/var/log/alerts.log"), invoke ? "" : missing + "\n");
    EXPECT_EQ(events_, (std::vector<std::string>{"a", "b"}));
    Reset();
  }
}

TEST_F(GraphTest, PathLengthsAndChainsInTimeAreLongestChainsEvenVeryLongOnes) {
  std::vector<Node*> chain;
  for (int i = 0; i < 200000; ++i) {
    chain.push_back(Add("n"));
    if (i) chain[i]->AddDependency(chain[i - 1]);
  }
  chain[2]->AddDependency(chain[0]);  // a shortcut does not shorten the longest chain
  EXPECT_EQ(chain[0]->GetHeight(), 199999);
  EXPECT_EQ(kickstand::TimeChains(Nodes(), [](const Node&) { return 2; }).Of(chain[0]), 400000);
  // A sum of huge times stops at the largest value instead of wrapping.
  EXPECT_EQ(kickstand::TimeChains(Nodes(), [](const Node&) { return INT64_MAX / 3; }).Of(chain[1]),
            INT64_MAX);
  // Listed last first, so scheduling the first node reaches every other.
  std::reverse(nodes_.begin(), nodes_.end());
  StartAll(2);
  EXPECT_EQ(events_.size(), 200000u);
}

// The nodes in the order given, then the barriers in byte order of their
// names (the order of the registry), whatever order they were made in.
TEST_F(GraphTest, DumpWritesLabelsAndEdgesInTheFrame) {
  auto* p = Plugin("p", {}, {"net", "Net"});
  auto* q = Plugin("q \"quoted\"", {"net"}, {});
  std::ostringstream out;
  graph_->WriteDot(out, Nodes());
  InitBarrier* net = InitBarrier::Get(*graph_, "net", false);
  InitBarrier* upper = InitBarrier::Get(*graph_, "Net", false);
  EXPECT_EQ(InitBarrier::All(*graph_), (std::vector<InitBarrier*>{upper, net}));
  auto id = [](const void* node) { std::ostringstream s; s << node; return s.str(); };
  EXPECT_EQ(out.str(), "digraph g {\n" + id(p) + " [label=\"p\"];\n" + id(p) + " -> " + id(net) +
                           ";\n" + id(p) + " -> " + id(upper) + ";\n" + id(q) +
                           " [label=\"q \"quoted\"\"];\n" + id(upper) +
                           " [label=\"Net\" shape=box];\n" + id(net) +
                           " [label=\"net\" shape=box];\n" + id(net) + " -> " + id(q) + ";\n}\n");
}

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
      kickstand::PriorityBarrier::Get(*graph_, priority)->AddMember(member);
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

uint64_t Fnv1a(const std::vector<std::string>& texts, uint64_t hash = 14695981039346656037ull) {
  for (const std::string& text : texts)
    for (char c : text + "\n") hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

// Plugins that each provide a barrier of their own and require one to three
// others: mostly earlier ones, but also later ones, their own, unprovided
// ones and one twice; every fifth gives an earlier plugin a second copy of
// its first edge, apart from the first in both lists; every seventh joins a
// priority chain. Cycles of every length overlap and nest. The reports and
// the orders of a start and of a stop are those that rescanning lists and
// walking afresh after every broken cycle gave.
TEST_F(GraphTest, ManyCycleGraphKeepsItsReportsAndOrders) {
  for (bool starting : {true, false}) {
    std::mt19937 random(22);
    const unsigned count = 12000;
    for (unsigned i = 0; i < count; ++i) {
      std::vector<std::string> requires;
      for (unsigned k = 0; k <= random() % 3; ++k) {
        unsigned kind = random() % 8;
        unsigned other = kind == 0 ? random() % count : kind == 1 ? i : random() % (i + 1);
        requires.push_back((kind == 2 ? "m" : "b") + std::to_string(other));
        if (kind == 3) requires.push_back(requires.back());
      }
      TestNode* node = Plugin("p" + std::to_string(i), requires, {"b" + std::to_string(i)});
      Node* earlier = nodes_[random() % (i + 1)];
      if (i % 5 == 4 && !earlier->Dependencies().empty())
        earlier->AddDependency(earlier->Dependencies().front());
      kickstand::ScopedLock lock;
      if (i % 7 == 0) kickstand::PriorityBarrier::Get(*graph_, random() % 5 * 10)->AddMember(node);
    }
    std::vector<Node*> roots = Nodes();
    for (Node* barrier : kickstand::InitBarrier::All(*graph_)) roots.push_back(barrier);
    std::vector<std::string> reports = CycleBreaker::BreakCycles(roots, [](const std::string&) {});
    EXPECT_EQ(reports.size(), 3154u);
    EXPECT_EQ(Fnv1a(reports), 10085185356458556323ull);
    testing::internal::CaptureStderr();  // the unprovided barriers' reports
    starting ? StartAll(0) : StopAll();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Fnv1a(events_), starting ? 14119485715422370615ull : 10481285775297281375ull);
    Reset();
  }
}


// Sizes at which rescanning a barrier's providers after each completion, or
// walking the whole graph again after each broken cycle, takes minutes
// (under the sanitizers, hours): a fan-in of 50,000 and 25,000 cycles.
TEST_F(GraphTest, WideFanInsAndManyCyclesRunInLinearTime) {
  for (int i = 0; i < 50000; ++i) Plugin("p" + std::to_string(i), {}, {"all"});
  Plugin("last", {"all"}, {});
  for (int i = 0; i < 25000; ++i) {
    std::string x = "x" + std::to_string(i), y = "y" + std::to_string(i);
    Plugin("q" + std::to_string(i), {x}, {y});
    Plugin("r" + std::to_string(i), {y}, {x});
  }
  EXPECT_EQ(CycleBreaker::BreakCycles(Nodes(), [](const std::string&) {}).size(), 25000u);
  StartAll(0);
  EXPECT_EQ(events_.size(), nodes_.size());
}

}  // namespace
