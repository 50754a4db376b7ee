// kickstand-analyze on a booted tree of 10,000 debug plugins, each command
// of the analysis against a --dump-dependency-tree run of the same tree
// (which builds the same graph and writes it out), both spawned and reaped
// the same way in the same run. Target: at most twice the dump.
#include <random>
#include <string>

#include "support/BenchTree.h"
#include "support/ChildRun.h"
#include "support/RatioReporter.h"

namespace {

using bench_support::BenchTree;

constexpr int kPlugins = 10000;
constexpr int kLayers = 50;

/// Layers of plugins, each requiring one to three barriers of the layer
/// before; the same text for every seed-15 tree.
std::string DebugConfiguration() {
  std::mt19937 random(15);
  const int width = kPlugins / kLayers;
  std::string text;
  for (int i = 0; i < kPlugins; ++i) {
    std::string required;
    for (int k = 0, count = 1 + static_cast<int>(random() % 3); i >= width && k < count; ++k)
      required += (k ? "," : "") + std::string("b") +
                  std::to_string((i / width - 1) * width + static_cast<int>(random() % width));
    text += "p" + std::to_string(i) + ":" + (required.empty() ? " " : required) + ":b" +
            std::to_string(i) + ":true\n";
  }
  return text;
}

/// A tree made once; booted once when a log is wanted. A dump run replaces
/// the profiling log, so the dumps get a tree of their own. Both are
/// removed when the program ends.
const BenchTree& Tree(bool booted) {
  static BenchTree plain, analysed;
  static const bool made = [] {
    for (BenchTree* tree : {&plain, &analysed})
      tree->Write("/etc/halvex/kickstand/debug.conf", DebugConfiguration());
    return analysed.Boot({"--parallel"}).status == 0;
  }();
  if (!made)
    throw std::runtime_error("the boot of the analysed tree failed");
  return booted ? analysed : plain;
}

void Measure(benchmark::State& state, const std::vector<std::string>& argv, const BenchTree& tree,
             bool awaitQuiet) {
  for (auto _ : state) {
    bench_support::ChildCost cost =
        bench_support::RunChild(argv, bench_support::EnvironmentWithRoot(tree.Root()));
    if (awaitQuiet)
      bench_support::AwaitQuietRoot(tree.Root());  // the command executor, outside the time
    if (cost.status != 0)
      state.SkipWithError("child failed");
    state.SetIterationTime(cost.wallSeconds);
  }
}

void BM_DumpTree(benchmark::State& state) {
  Measure(state, {KICKSTAND_BINARY, "--dump-dependency-tree"}, Tree(false), true);
}

void BM_Analyze(benchmark::State& state, const char* command) {
  Measure(state, {KICKSTAND_ANALYZE, command}, Tree(true), false);
}

BENCHMARK(BM_DumpTree)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analyze, time, "time")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analyze, blame, "blame")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analyze, critical_chain, "critical-chain")
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analyze, plot, "plot")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Analyze, dot, "dot")->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  bench_support::BecomeSubreaper();
  bench_support::RatioReporter reporter;
  for (const char* command : {"time", "blame", "critical_chain", "plot", "dot"})
    reporter.Compare(std::string("BM_Analyze/") + command + "/manual_time",
                     "BM_DumpTree/manual_time");
  return bench_support::RunWith(argc, argv, reporter);
}
