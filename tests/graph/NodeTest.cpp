#include <sstream>

#include "GraphFixture.h"
#include "graph/Executor.h"
#include "graph/PriorityBarrier.h"
#include "driver/RunOptions.h"
#include "util/GlobalLock.h"
#include "support/HostTree.h"

using kickstand::Executor;
using kickstand::InitBarrier;
using kickstand::Node;
using kickstand::PriorityBarrier;

namespace {

void StartAll(const std::vector<Node*>& nodes, int threads) {
  Executor executor(threads, false, 1);
  for (Node* node : nodes) node->ScheduleStart(executor);
  for (Node* node : nodes) node->WaitStarted();
}

void StopAll(const std::vector<Node*>& nodes, int threads) {
  Executor executor(threads, false, 1);
  for (Node* node : nodes) node->ScheduleStop(executor);
  for (Node* node : nodes) node->WaitStopped();
}

}  // namespace

TEST_F(GraphTest, ProvidersRunBeforeBarrierRequirersAfter) {
  for (int threads : {1, 4}) {
    record_.Clear();
    auto* late = Plugin("late", {"net"}, {});
    auto* a = Plugin("a", {}, {"net"});
    auto* b = Plugin("b", {}, {"net"});
    StartAll({late, a, b}, threads);
    EXPECT_LT(record_.IndexOf("a"), record_.IndexOf("late"));
    EXPECT_LT(record_.IndexOf("b"), record_.IndexOf("late"));
    EXPECT_EQ(InitBarrier::Get("net", false)->GetState(), Node::Started);
    nodes_.clear();
    InitBarrier::ClearRegistry();
  }
}

TEST_F(GraphTest, ThrowingNodeStillReleasesDependants) {
  auto* bad = Plugin("bad", {}, {"x"});
  bad->action = [] { throw 42; };
  auto* after = Plugin("after", {"x"}, {});
  testing::internal::CaptureStderr();
  StartAll({after, bad}, 2);
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(after->activations, 1);
  EXPECT_NE(log.find("ignoring unknown exception whilst processing bad ..."), std::string::npos);
}

TEST_F(GraphTest, MissingProviderIsReportedOnceNamingRequirersInOrder) {
  auto* a = Plugin("a", {"net"}, {});
  auto* b = Plugin("b", {"net"}, {});
  testing::internal::CaptureStderr();
  StartAll({a, b}, 1);
  std::string log = testing::internal::GetCapturedStderr();
  std::string text =
      "Kickstand dependency error: Initialization barrier \"net\" is not provided by any "
      "plugin but the following plugins require it: \"a\", \"b\"";
  EXPECT_EQ(ScratchFile("/var/log/alerts.log"), text + "\n");
  EXPECT_NE(log.find(text), std::string::npos);
  EXPECT_EQ(a->activations + b->activations, 2);
}

TEST_F(GraphTest, InvokeModeLogsMissingProviderWithoutAlert) {
  auto* a = Plugin("a", {"net"}, {});
  kickstand::RunOptions::Instance().invoke = true;
  testing::internal::CaptureStderr();
  StartAll({a}, 1);
  std::string log = testing::internal::GetCapturedStderr();
  kickstand::RunOptions::Instance().invoke = false;
  EXPECT_FALSE(testing_support::SplitLines(ScratchFile("/var/log/alerts.log")).size());
  EXPECT_NE(log.find("Initialization barrier \"net\""), std::string::npos);
}

TEST_F(GraphTest, ProviderMarkedStartedSatisfiesBarrier) {
  auto* ignored = Plugin("ignored", {}, {"net"});
  ignored->MarkStarted();
  auto* user = Plugin("user", {"net"}, {});
  StartAll({user}, 1);
  EXPECT_EQ(ignored->activations, 0);
  EXPECT_EQ(user->activations, 1);
  EXPECT_EQ(ScratchFile("/var/log/alerts.log"), "");
}

TEST_F(GraphTest, PathLengthsOfAChain) {
  auto* a = Add("a");
  auto* b = Add("b");
  auto* c = Add("c");
  b->AddDependency(a);
  c->AddDependency(b);
  EXPECT_EQ(a->GetHeight(), 2);
  EXPECT_EQ(b->GetHeight(), 1);
  EXPECT_EQ(c->GetHeight(), 0);
  EXPECT_EQ(a->GetDepth(), 0);
  EXPECT_EQ(c->GetDepth(), 2);
}

TEST_F(GraphTest, PathLengthOfALongChainNeedsNoDeepStack) {
  std::vector<Node*> chain;
  for (int i = 0; i < 200000; ++i) {
    chain.push_back(Add("n"));
    if (i) chain[i]->AddDependency(chain[i - 1]);
  }
  EXPECT_EQ(chain.front()->GetHeight(), 199999);
  EXPECT_EQ(chain.back()->GetDepth(), 199999);
}

TEST_F(GraphTest, PathLengthThroughACycleTerminates) {
  auto* a = Add("a");
  auto* b = Add("b");
  a->AddDependency(b);
  b->AddDependency(a);
  EXPECT_GE(a->GetDepth(), 0);
  EXPECT_GE(b->GetHeight(), 0);
}

TEST_F(GraphTest, RegistryIsInByteOrder) {
  for (const char* name : {"alpha", "Zeta", "al", "_"})
    InitBarrier::Get(name, true);
  PriorityBarrier::Get(9);
  PriorityBarrier::Get(10);
  std::vector<std::string> names;
  for (InitBarrier* barrier : InitBarrier::All())
    names.push_back(barrier->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "_", "_<->_priority_<->_10",
                                             "_<->_priority_<->_9", "al", "alpha"}));
  EXPECT_EQ(InitBarrier::Get("missing", false), nullptr);
}

TEST_F(GraphTest, PriorityChainBuiltOutOfOrder) {
  std::vector<Node*> members;
  for (uint32_t priority : {20u, 10u, 30u, 15u}) {
    auto* member = Add("s" + std::to_string(priority), 3);
    kickstand::ScopedLock lock;
    PriorityBarrier::Get(priority)->AddMember(member);
    members.push_back(member);
  }
  auto barrier = [](uint32_t p) { return PriorityBarrier::Get(p); };
  EXPECT_EQ(barrier(15)->Dependencies(), (std::vector<Node*>{barrier(10), members[3]}));
  // s20 waits for the barrier of 15; the barrier of 20 for 15's barrier too.
  auto& s20 = members[0]->Dependencies();
  EXPECT_NE(std::find(s20.begin(), s20.end(), barrier(15)), s20.end());
  auto& b20 = barrier(20)->Dependencies();
  EXPECT_NE(std::find(b20.begin(), b20.end(), barrier(15)), b20.end());
  EXPECT_EQ(barrier(10)->Dependencies(), (std::vector<Node*>{members[1]}));

  StartAll(members, 4);
  std::vector<std::string> started;
  for (const std::string& event : record_.Events()) started.push_back(event);
  EXPECT_EQ(started, (std::vector<std::string>{"s10", "s15", "s20", "s30"}));
}

TEST_F(GraphTest, PriorityChainStopsHigherPrioritiesFirst) {
  std::vector<Node*> members;
  for (uint32_t priority : {10u, 20u, 20u, 30u}) {
    auto* member = Add("s" + std::to_string(priority) + "-" + std::to_string(members.size()), 3);
    kickstand::ScopedLock lock;
    PriorityBarrier::Get(priority)->AddMember(member);
    members.push_back(member);
  }
  StopAll(members, 4);
  int s10 = record_.IndexOf("stop s10-0"), s30 = record_.IndexOf("stop s30-3");
  for (const char* s20 : {"stop s20-1", "stop s20-2"}) {
    EXPECT_LT(record_.IndexOf(s20), s10);
    EXPECT_GT(record_.IndexOf(s20), s30);
  }
}

TEST_F(GraphTest, DumpWritesLabelsAndEdges) {
  auto* p = Plugin("p", {}, {"net"});
  auto* q = Plugin("q \"quoted\"", {"net"}, {});
  std::ostringstream out;
  p->Dump(out);
  q->Dump(out);
  InitBarrier* net = InitBarrier::Get("net", false);
  net->Dump(out);
  auto id = [](const void* node) { std::ostringstream s; s << node; return s.str(); };
  EXPECT_EQ(out.str(), id(p) + " [label=\"p\"];\n" + id(p) + " -> " + id(net) + ";\n" +
                           id(q) + " [label=\"q \"quoted\"\"];\n" +
                           id(net) + " [label=\"net\" shape=box];\n" +
                           id(net) + " -> " + id(q) + ";\n");
  EXPECT_EQ(id(p).substr(0, 2), "0x");
}
