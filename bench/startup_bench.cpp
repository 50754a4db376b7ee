// Start-up cost of a plain run on an empty host tree: wall time and peak
// resident memory of the child, against /bin/true spawned and reaped the
// same way, against `kickstand --help` (loading the program alone), and
// against the two durable file replacements every boot makes (run-once
// record and profiling log: write, fsync, rename, fsync the directory).
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <vector>

#include "support/BenchTree.h"
#include "support/ChildRun.h"
#include "support/RatioReporter.h"

namespace {

using bench_support::ChildCost;

/// Times each run by hand, so that the wait for the command executor to
/// end after a boot stays outside the measurement.
template <typename Run>
void MeasureRuns(benchmark::State& state, Run run) {
  long peakKiB = 0;
  for (auto _ : state) {
    ChildCost cost = run();
    if (cost.status != 0) state.SkipWithError("child failed");
    state.SetIterationTime(cost.wallSeconds);
    peakKiB = std::max(peakKiB, cost.peakRssKiB);
  }
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024;
}

void BM_TrueProcess(benchmark::State& state) {
  MeasureRuns(state, [] {
    return bench_support::RunChild({"/bin/true"}, bench_support::EnvironmentWithRoot(""));
  });
}

void BM_HelpOnly(benchmark::State& state) {
  bench_support::BenchTree tree;
  MeasureRuns(state, [&] { return tree.Boot({"--help"}); });
}

void BM_EmptyBoot(benchmark::State& state) {
  bench_support::BenchTree tree;
  MeasureRuns(state, [&] { return tree.Boot({}); });
}

void ReplaceDurably(const std::string& path) {
  std::string temporary = path + ".new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  static const char kLine[] = "one line of a log or record\n";
  if (fd < 0 || write(fd, kLine, sizeof kLine - 1) < 0 || fsync(fd) != 0)
    throw std::runtime_error("cannot write " + temporary);
  close(fd);
  std::rename(temporary.c_str(), path.c_str());
  int directory = open(boost::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  fsync(directory);
  close(directory);
}

void BM_DurableWrites(benchmark::State& state) {
  bench_support::BenchTree tree;
  for (auto _ : state) {
    ReplaceDurably(tree.Path("/bootbank/kickstnd.gz"));
    ReplaceDurably(tree.Path("/var/log/sysboot.log"));
  }
}

BENCHMARK(BM_TrueProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HelpOnly)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmptyBoot)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DurableWrites)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  bench_support::BecomeSubreaper();
  bench_support::RatioReporter reporter;
  reporter.Compare("BM_EmptyBoot/manual_time", "BM_TrueProcess/manual_time");
  reporter.Compare("BM_EmptyBoot/manual_time", "BM_HelpOnly/manual_time");
  reporter.Compare("BM_DurableWrites/real_time", "BM_EmptyBoot/manual_time");
  return bench_support::RunWith(argc, argv, reporter);
}
