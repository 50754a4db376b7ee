#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include <benchmark/benchmark.h>

namespace bench_support {

/// Console output plus, at the end, the ratio of each measured benchmark to
/// its baseline from the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
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
      if (seconds_.count(name) && seconds_.count(baseline) && seconds_[baseline] > 0)
        std::printf("ratio  %-50s / %-40s = %8.3f\n", name.c_str(), baseline.c_str(),
                    seconds_[name] / seconds_[baseline]);
    }
  }

 private:
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
