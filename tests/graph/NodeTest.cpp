#include <algorithm>
#include <map>
#include <sstream>

#include "GraphFixture.h"
#include "graph/PriorityBarrier.h"
#include "util/GlobalLock.h"

using kickstand::InitBarrier;
using kickstand::Node;
using kickstand::PriorityBarrier;

TEST_F(GraphTest, ThrowingNodeStillReleasesDependants) {
  Plugin("bad", {}, {"x"})->action = [] { throw 42; };
  auto* after = Plugin("after", {"x"}, {});
  testing::internal::CaptureStderr();
  StartAll(2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "ignoring unknown exception whilst processing bad ..."), std::string::npos);
  EXPECT_EQ(after->activations, 1);
}

TEST_F(GraphTest, MissingProviderIsReportedNamingRequirersAlertOutsideInvoke) {
  const std::string text =
      "Kickstand dependency error: Initialization barrier \"net\" is not provided by any "
      "plugin but the following plugins require it: \"a\", \"b\"";
  for (bool invoke : {false, true}) {
    if (invoke) graph_->alert = nullptr;
    Plugin("a", {"net"}, {});
    Plugin("b", {"net"}, {});
    testing::internal::CaptureStderr();
    StartAll(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), text + "\n");
    EXPECT_EQ(testing_support::ReadScratchFile("/var/log/alerts.log"), invoke ? "" : text + "\n");
    EXPECT_EQ(record_.Events().size(), 2u);
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
  EXPECT_EQ(chain[1]->GetHeight(), 199998);
  EXPECT_EQ(chain.back()->GetHeight(), 0);
  EXPECT_EQ(chain[0]->GetDepth(), 0);
  EXPECT_EQ(chain.back()->GetDepth(), 199999);
  EXPECT_EQ(kickstand::TimeChains(Nodes(), [](const Node&) { return 2; }).Of(chain[0]), 400000);
  // A sum of huge times stops at the largest value instead of wrapping.
  EXPECT_EQ(kickstand::TimeChains(Nodes(), [](const Node&) { return INT64_MAX / 3; }).Of(chain[1]),
            INT64_MAX);
  // Listed last first, so scheduling the first node reaches every other.
  std::reverse(nodes_.begin(), nodes_.end());
  StartAll(2);
  EXPECT_EQ(record_.Events().size(), 200000u);
}

// Step by step; own times by name: asking for a barrier's would throw. The
// chain head by nodes (a: a -> x -> a2 -> y -> a3) is quick, slow has nothing
// after it; among the init.d services (class 3) t10 outweighs s10 only
// through s20, whose priority comes after both.
TEST_F(GraphTest, TheLongestChainInTimeGoesFirstWithinItsClass) {
  const std::map<std::string, int64_t> own{{"a", 1},  {"a2", 1},   {"a3", 1},  {"slow", 100},
                                           {"mid", 10}, {"s10", 5}, {"t10", 50}, {"s20", 500}};
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
  StartAll(0, false, 1, &chains);
  EXPECT_EQ(record_.Events(), (std::vector<std::string>{"slow", "mid", "a", "a2", "a3", "t10",
                                                        "s10", "s20"}));
}

TEST_F(GraphTest, RegistryIsInByteOrder) {
  for (const char* name : {"alpha", "Zeta", "al", "_"})
    InitBarrier::Get(*graph_, name, true);
  PriorityBarrier::Get(*graph_, 9);
  PriorityBarrier::Get(*graph_, 10);
  std::vector<std::string> names;
  for (InitBarrier* barrier : InitBarrier::All(*graph_))
    names.push_back(barrier->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "_", "_<->_priority_<->_10",
                                             "_<->_priority_<->_9", "al", "alpha"}));
}

TEST_F(GraphTest, PriorityChainBuiltOutOfOrderStartsLowFirstStopsLowLast) {
  auto build = [this] {
    for (uint32_t priority : {20u, 10u, 30u, 15u, 20u}) {
      auto* member = Add("s" + std::to_string(priority) + "-" + std::to_string(nodes_.size()), 3);
      kickstand::ScopedLock lock;
      PriorityBarrier::Get(*graph_, priority)->AddMember(member);
    }
  };
  build();
  EXPECT_EQ(PriorityBarrier::Get(*graph_, 15)->Dependencies(),
            (std::vector<Node*>{PriorityBarrier::Get(*graph_, 10), nodes_[3]}));
  StartAll(4);
  std::vector<std::string> events = record_.Events();
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 2),
            (std::vector<std::string>{"s10-1", "s15-3"}));
  EXPECT_EQ(events.back(), "s30-2");

  Reset();
  build();
  StopAll(4);
  events = record_.Events();
  EXPECT_EQ(events.front(), "stop s30-2");
  EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
            (std::vector<std::string>{"stop s15-3", "stop s10-1"}));
}

TEST_F(GraphTest, DumpWritesLabelsAndEdgesInTheFrame) {
  auto* p = Plugin("p", {}, {"net"});
  auto* q = Plugin("q \"quoted\"", {"net"}, {});
  std::ostringstream out;
  graph_->WriteDot(out, Nodes());
  InitBarrier* net = Barrier("net");
  auto id = [](const void* node) { std::ostringstream s; s << node; return s.str(); };
  EXPECT_EQ(out.str(), "digraph g {\n" + id(p) + " [label=\"p\"];\n" + id(p) + " -> " + id(net) +
                           ";\n" + id(q) + " [label=\"q \"quoted\"\"];\n" + id(net) +
                           " [label=\"net\" shape=box];\n" + id(net) + " -> " + id(q) + ";\n}\n");
  EXPECT_EQ(id(p).substr(0, 2), "0x");
}
