// Boots of 500 JSON plugins with one described command each (/bin/true),
// serial and parallel: the cost per plugin of the graph run, against the
// command executor's own round trip for a no-op line and for the same
// command, measured from this process in the same run.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "commandexec/TarncliExecutor.h"
#include "support/BenchTree.h"
#include "support/ProfilingSpan.h"
#include "support/RatioReporter.h"

namespace {

using bench_support::BenchTree;
using kickstand::TarncliExecutor;

constexpr int kPlugins = 500;
const char kCommandDescription[] =
    R"({"path":["bench","true"],"program":"/bin/true","parameters":[]})";
const char kPluginFile[] =
    R"({"metadata":{"version":1,"requires":[],"provides":[]},)"
    R"("operations":{"start":["bench true"]}})";

void DescribeCommand(const BenchTree& tree) {
  tree.Write("/usr/lib/halvex/tarncli/bench-true.json", kCommandDescription);
}

/// The tree the boots run in; made once, reused by every boot.
const BenchTree& BootTree() {
  static const BenchTree* tree = [] {
    auto* made = new BenchTree;
    DescribeCommand(*made);
    for (int i = 0; i < kPlugins; ++i)
      made->Write("/usr/libexec/kickstand/plugins/j" + std::to_string(i) + ".json", kPluginFile);
    return made;
  }();
  return *tree;
}

int ActivatedPlugins(const BenchTree& tree) {
  std::ifstream log(tree.Path("/var/log/kernel.log"));
  int activated = 0;
  for (std::string line; std::getline(log, line);)
    activated += line.size() > 11 && line.compare(line.size() - 11, 11, " activated.") == 0;
  return activated;
}

/// Charges each boot's graph run, per plugin, as the iteration time; the
/// whole process's wall time per plugin goes into a counter.
void Boot(benchmark::State& state, const std::vector<std::string>& args) {
  const BenchTree& tree = BootTree();
  double wall = 0;
  for (auto _ : state) {
    tree.Write("/var/log/kernel.log", "");
    bench_support::ChildCost cost = tree.Boot(args);
    bench_support::ProfilingSpan span =
        bench_support::ReadProfilingSpan(tree.Path("/var/log/sysboot.log"));
    if (cost.status != 0 || span.plugins != kPlugins || ActivatedPlugins(tree) != kPlugins)
      state.SkipWithError("boot did not activate every plugin");
    state.SetIterationTime(span.seconds / kPlugins);
    wall += cost.wallSeconds;
  }
  state.counters["wall_per_plugin_us"] = benchmark::Counter(
      wall * 1e6 / kPlugins, benchmark::Counter::kAvgIterations);
}

void BM_JsonBootSerial(benchmark::State& state) { Boot(state, {}); }
void BM_JsonBootParallel(benchmark::State& state) { Boot(state, {"--parallel"}); }

void BM_RoundTripNoop(benchmark::State& state) {
  for (auto _ : state) TarncliExecutor::GetInstance()->Execute("#");
}

void BM_RoundTripTrue(benchmark::State& state) {
  for (auto _ : state) TarncliExecutor::GetInstance()->Execute("bench true");
}

BENCHMARK(BM_RoundTripNoop)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTripTrue)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonBootSerial)->UseManualTime()->Iterations(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonBootParallel)->UseManualTime()->Iterations(2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  bench_support::BecomeSubreaper();
  // This process's own executor lives in a tree of its own: the relocation
  // root is read once per process, and the boots start and stop theirs.
  BenchTree clientTree;
  DescribeCommand(clientTree);
  setenv("KICKSTAND_ROOT", clientTree.Root().c_str(), 1);
  TarncliExecutor::GetInstance()->Start();

  bench_support::RatioReporter reporter;
  reporter.Compare("BM_RoundTripTrue/real_time", "BM_RoundTripNoop/real_time");
  reporter.Compare("BM_JsonBootSerial/iterations:2/manual_time", "BM_RoundTripTrue/real_time");
  reporter.Compare("BM_JsonBootParallel/iterations:2/manual_time", "BM_RoundTripTrue/real_time");
  bench_support::RunWith(argc, argv, reporter);

  TarncliExecutor::GetInstance()->Stop();
  delete &BootTree();
  return 0;
}
