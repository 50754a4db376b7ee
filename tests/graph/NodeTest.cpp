#include <algorithm>
#include <sstream>

#include "GraphFixture.h"
#include "graph/InitBarrier.h"

using kickstand::InitBarrier;
using kickstand::Node;

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
  EXPECT_EQ(chain.back()->GetDepth(), 199999);
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
