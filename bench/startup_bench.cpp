// Start-up cost of kickstand against the cost of any C++ process: a plain
// C++ hello, `kickstand --help` (loading the program alone), a plain run on
// an empty host tree and an --invoke run of one debug plugin, all spawned,
// with their output on /dev/null, and reaped the same way; wall time and
// peak resident memory of each (of the program and the children it waits
// for). The two durable file replacements every
// boot makes (run-once record and profiling log: write, fsync, rename, fsync
// the directory) show how much of a run is the disk's.
// Before measuring, it prints the shared libraries each program loads, so a
// new dependency that costs start-up shows at once.
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/BenchTree.h"
#include "support/ChildRun.h"
#include "support/RatioReporter.h"

namespace {

using bench_support::ChildCost;

using Launcher = std::vector<std::string>;

/// The peak resident memory of one run, started through the peak_rss
/// launcher: measured from here, it would count this program's own memory.
double PeakMiB(const std::function<ChildCost(const Launcher&)>& run) {
  char report[] = "/tmp/kpeak.XXXXXX";
  int fd = mkstemp(report);
  if (fd < 0)
    throw std::runtime_error("mkstemp failed");
  close(fd);
  long peakKiB = 0;
  bool ran = run({PEAK_RSS, report}).status == 0;
  std::ifstream(report) >> peakKiB;
  std::remove(report);
  if (!ran || peakKiB <= 0)
    throw std::runtime_error("no peak memory measured");
  return static_cast<double>(peakKiB) / 1024;
}

/// Times each run by hand, so that the wait for the command executor to
/// end after a boot stays outside the measurement; then one more run for
/// the peak memory.
void MeasureRuns(benchmark::State& state, const std::function<ChildCost(const Launcher&)>& run) {
  for (auto _ : state) {
    ChildCost cost = run({});
    if (cost.status != 0) state.SkipWithError("child failed");
    state.SetIterationTime(cost.wallSeconds);
  }
  state.counters["peak_MiB"] = PeakMiB(run);
}

void BM_HelloProcess(benchmark::State& state) {
  MeasureRuns(state, [](Launcher argv) {
    argv.push_back(HELLO_BINARY);
    return bench_support::RunChild(argv, bench_support::EnvironmentWithRoot(""));
  });
}

void BM_HelpOnly(benchmark::State& state) {
  bench_support::BenchTree tree;
  MeasureRuns(state, [&](const Launcher& launcher) { return tree.Boot({"--help"}, launcher); });
}

void BM_EmptyBoot(benchmark::State& state) {
  bench_support::BenchTree tree;
  MeasureRuns(state, [&](const Launcher& launcher) { return tree.Boot({}, launcher); });
}

void BM_InvokeDebugPlugin(benchmark::State& state) {
  bench_support::BenchTree tree;
  tree.Write("/etc/halvex/kickstand/debug.conf", "one: : :true\n");
  MeasureRuns(state, [&](const Launcher& launcher) {
    return tree.Boot({"--invoke", "--method=start", "--plugin=one.debug"}, launcher);
  });
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

BENCHMARK(BM_HelloProcess)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HelpOnly)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmptyBoot)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InvokeDebugPlugin)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DurableWrites)->UseRealTime()->Unit(benchmark::kMillisecond);

/// One line per program: "ldd PROGRAM: LIBRARY ...", as ldd names them.
void PrintLoadedLibraries(const std::string& program) {
  std::unique_ptr<FILE, decltype(&pclose)> ldd(popen(("ldd " + program).c_str(), "r"), &pclose);
  std::string line = "ldd " + program + ":";
  char entry[512];
  while (ldd && std::fscanf(ldd.get(), " %511s%*[^\n]", entry) == 1)
    if (std::string(entry).rfind("linux-vdso", 0) != 0) line += std::string(" ") + entry;
  std::printf("%s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* program : {HELLO_BINARY, KICKSTAND_BINARY, NATIVE_EXECUTOR, KICKSTAND_ANALYZE})
    PrintLoadedLibraries(program);
  bench_support::BecomeSubreaper();
  bench_support::RatioReporter reporter;
  for (const char* run : {"BM_HelpOnly", "BM_EmptyBoot", "BM_InvokeDebugPlugin"})
    reporter.Compare(std::string(run) + "/manual_time", "BM_HelloProcess/manual_time");
  reporter.Compare("BM_DurableWrites/real_time", "BM_EmptyBoot/manual_time");
  // Repetitions of all rows in random order, so that a busy spell of the
  // machine or its disk falls on every row alike; a flag given overrides it.
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args(argv, argv + argc);
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  return bench_support::RunWith(count, args.data(), reporter);
}
