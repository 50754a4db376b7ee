// Scheduler overhead of the worker pool with no-op nodes (a fan-in against
// a fan-out of the same size; a layered graph with and without the chains
// counted in time, computed inside the timing), and the cost of choosing the
// next node against a linear scan of the ready queue.
#include <list>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "graph/Executor.h"
#include "graph/Node.h"
#include "graph/ReadyQueue.h"
#include "graph/TimeChains.h"
#include "support/RatioReporter.h"
#include "util/GlobalLock.h"

namespace {

using kickstand::Node;

class NoopNode : public Node {
 public:
  NoopNode() : Node("noop", 1) {}
  void Activate() override {}
  std::string DotAttributes() const override { return ""; }
};

using Graph = std::vector<std::unique_ptr<NoopNode>>;

Graph MakeNodes(int count) {
  Graph graph;
  for (int i = 0; i < count; ++i) graph.push_back(std::make_unique<NoopNode>());
  return graph;
}

Graph Chain(int count) {
  Graph graph = MakeNodes(count);
  for (int i = 1; i < count; ++i) graph[i]->AddDependency(graph[i - 1].get());
  return graph;
}

/// Every node waits for the first, as requirers wait behind one barrier.
Graph Fan(int count) {
  Graph graph = MakeNodes(count + 1);
  for (int i = 1; i <= count; ++i) graph[i]->AddDependency(graph[0].get());
  return graph;
}

/// The first node waits for every other, as a barrier waits for its providers.
Graph FanIn(int count) {
  Graph graph = MakeNodes(count + 1);
  for (int i = 1; i <= count; ++i) graph[0]->AddDependency(graph[i].get());
  return graph;
}

/// Twenty layers; each node depends on one to three nodes of the layer above.
Graph Layered(int count) {
  Graph graph = MakeNodes(count);
  std::mt19937 random(42);
  int width = count / 20;
  for (int i = width; i < count; ++i) {
    int layerStart = (i / width - 1) * width;
    for (unsigned k = 0; k <= random() % 3; ++k)
      graph[i]->AddDependency(graph[layerStart + random() % width].get());
  }
  return graph;
}

void RunGraph(benchmark::State& state, Graph (*make)(int), bool inTime = false) {
  int count = static_cast<int>(state.range(0));
  int workers = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    Graph graph = make(count);
    std::vector<Node*> roots;
    for (auto& node : graph) roots.push_back(node.get());
    state.ResumeTiming();
    std::optional<kickstand::TimeChains> chains;
    if (inTime) {  // own times spread over 0 to 999 by address
      chains.emplace(roots, [](const Node& node) {
        return static_cast<int64_t>(reinterpret_cast<uintptr_t>(&node) / 64 % 1000);
      });
    }
    kickstand::Executor executor(workers, false, 1, chains ? &*chains : nullptr);
    for (auto& node : graph) node->ScheduleStart(executor);
    for (auto& node : graph) node->WaitStarted();
  }
  state.counters["per_node"] = benchmark::Counter(
      static_cast<double>(count) * state.iterations(),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Chain(benchmark::State& state) { RunGraph(state, Chain); }
void BM_Fan(benchmark::State& state) { RunGraph(state, Fan); }
void BM_FanIn(benchmark::State& state) { RunGraph(state, FanIn); }
void BM_Layered(benchmark::State& state) { RunGraph(state, Layered); }
void BM_LayeredInTime(benchmark::State& state) { RunGraph(state, Layered, true); }

/// The plain selection: scan the whole queue for the lowest class and the
/// longest path, earliest first among equals.
class LinearScanQueue {
 public:
  void Push(Node* node) { queue_.push_back(node); }
  Node* PopNext() {
    auto best = queue_.begin();
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      Node* node = *it;
      if (node->SchedulingClass() < (*best)->SchedulingClass() ||
          (node->SchedulingClass() == (*best)->SchedulingClass() &&
           node->PathLength() > (*best)->PathLength()))
        best = it;
    }
    Node* chosen = *best;
    queue_.erase(best);
    return chosen;
  }

 private:
  std::list<Node*> queue_;
};

/// Fills a queue with a fan of range(0) nodes and takes range(1) of them
/// (all when 0). Draining a 100,000-node fan by linear scan takes minutes,
/// so at that size the first selections stand for the rest.
template <typename Queue, typename Pop>
void SelectFromFan(benchmark::State& state, Pop pop) {
  Graph graph = Fan(static_cast<int>(state.range(0)));
  size_t pops = state.range(1) ? static_cast<size_t>(state.range(1)) : graph.size() - 1;
  kickstand::ScopedLock lock;  // workers choose under the lock
  for (auto _ : state) {
    state.PauseTiming();
    Queue queue;
    for (size_t i = 1; i < graph.size(); ++i) queue.Push(graph[i].get());
    state.ResumeTiming();
    for (size_t i = 0; i < pops; ++i) benchmark::DoNotOptimize(pop(queue));
  }
  state.counters["per_selection"] = benchmark::Counter(
      static_cast<double>(pops) * state.iterations(),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SelectBuckets(benchmark::State& state) {
  SelectFromFan<kickstand::ReadyQueue>(state,
                                       [](kickstand::ReadyQueue& q) { return q.PopNext(nullptr); });
}

void BM_SelectLinearScan(benchmark::State& state) {
  SelectFromFan<LinearScanQueue>(state, [](LinearScanQueue& q) { return q.PopNext(); });
}

}  // namespace

// Wall time: the driver waits while workers run, so CPU time of the main
// thread alone would flatter the pool.
BENCHMARK(BM_Chain)->Args({100000, 1})->Args({100000, 4})->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fan)->Args({10000, 1})->Args({10000, 4})->Args({100000, 1})->Args({100000, 4})
    ->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FanIn)->Args({100000, 1})->Args({100000, 4})->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layered)->Args({100000, 1})->Args({100000, 4})->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayeredInTime)->Args({100000, 1})->Args({100000, 4})->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectBuckets)->Args({10000, 0})->Args({100000, 500})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectLinearScan)->Args({10000, 0})->Args({100000, 500})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  bench_support::RatioReporter reporter;
  reporter.Compare("BM_FanIn/100000/1/real_time", "BM_Fan/100000/1/real_time");
  reporter.Compare("BM_FanIn/100000/4/real_time", "BM_Fan/100000/4/real_time");
  reporter.Compare("BM_SelectLinearScan/10000/0", "BM_SelectBuckets/10000/0");
  reporter.Compare("BM_SelectLinearScan/100000/500", "BM_SelectBuckets/100000/500");
  reporter.Compare("BM_LayeredInTime/100000/1/real_time", "BM_Layered/100000/1/real_time");
  reporter.Compare("BM_LayeredInTime/100000/4/real_time", "BM_Layered/100000/4/real_time");
  return bench_support::RunWith(argc, argv, reporter);
}
