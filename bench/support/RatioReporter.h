#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include <unistd.h>
#include <benchmark/benchmark.h>

namespace bench_support {

/// Console output plus, at the end, the ratio of each measured benchmark to
/// its baseline from the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}


  /// Prints "name / baseline = ratio" for the pair once both have run.
  void Compare(const std::string& name, const std::string& baseline) {
    pairs_.emplace_back(name, baseline);
  }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [name, baseline] : pairs_) {
      double measured = Seconds(name), base = Seconds(baseline);
      if (measured > 0 && base > 0)
        std::printf("ratio  %-50s / %-40s = %8.3f\n", name.c_str(), baseline.c_str(),
                    measured / base);
    }
  }

 private:
  /// The median when the benchmark was repeated, else its single result.
  double Seconds(const std::string& name) {
    for (const std::string& key : {name + "_median", name})
      if (seconds_.count(key)) return seconds_[key];
    return 0;
  }

  std::vector<std::pair<std::string, std::string>> pairs_;
  std::map<std::string, double> seconds_;
};

/// Runs every registered benchmark through reporter.
inline int RunWith(int argc, char** argv, RatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench_support
