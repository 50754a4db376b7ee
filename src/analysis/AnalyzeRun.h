#pragma once
#include <optional>
#include <ostream>
#include <string>

namespace kickstand {

struct AnalyzeRequest;
class BootTimeline;
class RebuiltGraph;
struct RecordedBoot;

/// One run of kickstand-analyze, from the command line to the exit status:
/// rebuilds the graph, reads the last boot and answers one command.
class AnalyzeRun {
 public:
  /// processors: the host's processor count, from which a parallel boot
  /// chose its worker count.
  AnalyzeRun(std::ostream& out, std::ostream& err, unsigned processors)
      : out_(out), err_(err), processors_(processors) {}

  /// Returns the exit status.
  int Run(int argc, char** argv);

 private:
  int Analyse(AnalyzeRequest& request);
  int Answer(const AnalyzeRequest& request, RebuiltGraph& graph, const BootTimeline& timeline);
  int Verify(RebuiltGraph& graph);
  /// The last boot of the profiling log; none, after saying so, when it
  /// records none.
  std::optional<RecordedBoot> ReadBoot();
  int Chain(const AnalyzeRequest& request, const BootTimeline& timeline);
  /// "kickstand-analyze: message" on standard error; returns 1.
  int Fail(const std::string& message);

  std::ostream& out_;
  std::ostream& err_;
  unsigned processors_;
};

}  // namespace kickstand
