// Boots of 500 JSON plugins with one described command each (/bin/true),
// serial and parallel: the cost per plugin of the graph run, against the
// command executor's own round trip for a no-op line and for the same
// command, measured from this process in the same run; and the parallel
// run's cost against the serial one's.
//
// Boots of 8 JSON plugins whose command sleeps 0.5 s, and of 32 sleeping
// 0.1 s, none waiting for another: the parallel makespan against the total
// work spread over the workers, and against the serial makespan over the
// workers (the speed-up the commands' overlap gives).
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "commandexec/TarncliExecutor.h"
#include "platform/ProcessorCount.h"
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

/// A tree of `plugins` JSON plugins, each sleeping `seconds` through a
/// described command; made once per size.
const BenchTree& SleeperTree(int plugins, double seconds) {
  static std::map<int, std::unique_ptr<BenchTree>> trees;
  std::unique_ptr<BenchTree>& tree = trees[plugins];
  if (!tree) {
    tree = std::make_unique<BenchTree>();
    boost::filesystem::create_directories(tree->Path("/usr/bin"));
    tree->Write("/usr/bin/nap", "#!/bin/sh\nexec sleep \"${1#--seconds=}\"\n");
    chmod(tree->Path("/usr/bin/nap").c_str(), 0755);
    tree->Write("/usr/lib/halvex/tarncli/nap.json", R"({"path":["bench","nap"],"program":")" +
                tree->Path("/usr/bin/nap") + R"(","parameters":[{"name":"seconds"}]})");
    for (int i = 0; i < plugins; ++i)
      tree->Write("/usr/libexec/kickstand/plugins/s" + std::to_string(i) + ".json",
                  R"({"metadata":{"version":1,"requires":[],"provides":[]},)"
                  R"("operations":{"start":["bench nap --seconds=)" + std::to_string(seconds) +
                  "\"]}}");
  }
  return *tree;
}

/// The workers of a parallel boot of this many plugins, as kickstand chooses.
double Workers(int plugins) {
  return std::min<double>(2 * platform::ProcessorCount(), plugins);
}

/// Charges each boot's makespan, divided by divisor, as the iteration time.
void SleeperBoot(benchmark::State& state, int plugins, double seconds, bool parallel,
                 double divisor) {
  const BenchTree& tree = SleeperTree(plugins, seconds);
  for (auto _ : state) {
    tree.Write("/var/log/kernel.log", "");
    bench_support::ChildCost cost = tree.Boot(parallel ? std::vector<std::string>{"--parallel"}
                                                       : std::vector<std::string>{});
    bench_support::ProfilingSpan span =
        bench_support::ReadProfilingSpan(tree.Path("/var/log/sysboot.log"));
    if (cost.status != 0 || span.plugins != plugins || ActivatedPlugins(tree) != plugins)
      state.SkipWithError("boot did not activate every plugin");
    state.SetIterationTime(span.seconds / divisor);
  }
  state.counters["workers"] = Workers(plugins);
}

void BM_SleepersParallel(benchmark::State& state, int plugins, double seconds) {
  SleeperBoot(state, plugins, seconds, true, 1);
}

/// The serial makespan over the workers: what perfect overlap would give.
void BM_SleepersSerialPerWorker(benchmark::State& state, int plugins, double seconds) {
  SleeperBoot(state, plugins, seconds, false, Workers(plugins));
}

/// Not a measurement: the total work over the workers, as a baseline row.
void BM_SleepersWorkPerWorker(benchmark::State& state, int plugins, double seconds) {
  for (auto _ : state)
    state.SetIterationTime(plugins * seconds / Workers(plugins));
}

/// The sleeper boots of both sizes, each parallel makespan compared with the
/// two baselines.
void RegisterSleepers(bench_support::RatioReporter& reporter) {
  const struct { const char* name; int plugins; double seconds; } sizes[] = {
      {"8x500ms", 8, 0.5}, {"32x100ms", 32, 0.1}};
  using Sleepers = void (*)(benchmark::State&, int, double);
  const std::pair<const char*, Sleepers> kinds[] = {
      {"BM_SleepersParallel/", BM_SleepersParallel},
      {"BM_SleepersWorkPerWorker/", BM_SleepersWorkPerWorker},
      {"BM_SleepersSerialPerWorker/", BM_SleepersSerialPerWorker}};
  for (const auto& size : sizes) {
    for (const auto& [prefix, run] : kinds)
      benchmark::RegisterBenchmark((prefix + std::string(size.name)).c_str(), run, size.plugins,
                                   size.seconds)
          ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    auto run = [&](const char* prefix) {
      return prefix + std::string(size.name) + "/iterations:1/manual_time";
    };
    reporter.Compare(run(kinds[0].first), run(kinds[1].first));
    reporter.Compare(run(kinds[0].first), run(kinds[2].first));
  }
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
  reporter.Compare("BM_JsonBootParallel/iterations:2/manual_time",
                   "BM_JsonBootSerial/iterations:2/manual_time");
  RegisterSleepers(reporter);
  bench_support::RunWith(argc, argv, reporter);

  TarncliExecutor::GetInstance()->Stop();
  delete &BootTree();
  return 0;
}
