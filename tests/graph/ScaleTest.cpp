#include <cstdint>
#include <random>

#include "GraphFixture.h"
#include "graph/CycleBreaker.h"
#include "graph/PriorityBarrier.h"

using kickstand::CycleBreaker;
using kickstand::Node;

static uint64_t Fnv1a(const std::vector<std::string>& texts, uint64_t hash = 14695981039346656037ull) {
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
    starting ? StartAll(0) : StopAll(0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Fnv1a(events_), starting ? 14119485715422370615ull : 10481285775297281375ull);
    Reset();
  }
}
