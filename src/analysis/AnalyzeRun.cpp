#include "analysis/AnalyzeRun.h"

#include <boost/filesystem/operations.hpp>

#include "analysis/AnalyzeCommandLine.h"
#include "analysis/BootTimeline.h"
#include "analysis/CriticalChain.h"
#include "analysis/RebuiltGraph.h"
#include "analysis/SvgPlot.h"
#include "analysis/TextReport.h"
#include "analysis/TimedDot.h"
#include "driver/ProfilingLog.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "plugins/KernelLogObserver.h"
#include "util/RegularFileStream.h"

namespace kickstand {
namespace {

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::map<std::string, std::string> ReadFailures() {
  RegularFileStream kernelLog(platform::HostPath(platform::paths::kKernelLog));
  return KernelLogObserver::ReadFailures(kernelLog);
}

/// The chain of the plugin that ended last; none when no plugin ran.
std::optional<CriticalChain> LastChain(const BootTimeline& timeline) {
  int last = timeline.LastEnded();
  if (last < 0)
    return std::nullopt;
  return CriticalChain(timeline, static_cast<size_t>(last));
}

}  // namespace

int AnalyzeRun::Run(int argc, char** argv) {
  AnalyzeRequest request;
  if (auto error = AnalyzeCommandLine::Parse(argc, argv, &request)) {
    Fail(*error);
    AnalyzeCommandLine::PrintUsage(err_);
    return 1;
  }
  if (request.help) {
    if (request.command.empty())
      AnalyzeCommandLine::PrintUsage(out_);
    else
      AnalyzeCommandLine::PrintHelp(request.command, out_);
    return 0;
  }
  request.options.pluginDirectory =
      boost::filesystem::absolute(request.selections.pluginDirectory).string();
  if (request.command != "verify")
    return Analyse(request);
  RebuiltGraph graph(request.options, request.selections);
  return Verify(graph);
}

// The log first: without a boot there is nothing to rebuild the graph for.
int AnalyzeRun::Analyse(AnalyzeRequest& request) {
  std::optional<RecordedBoot> boot = ReadBoot();
  if (!boot)
    return 1;
  RebuiltGraph graph(request.options, request.selections);
  if (graph.EnumerationFailure())
    return Fail(*graph.EnumerationFailure());
  BootTimeline timeline(*boot, graph.Nodes(), ReadFailures(), processors_);
  std::vector<std::string> lost = timeline.NotInGraph();
  if (!lost.empty())
    Fail("not in the graph (the plugin tree changed since the boot?): " + Joined(lost));
  return Answer(request, graph, timeline);
}

int AnalyzeRun::Answer(const AnalyzeRequest& request, RebuiltGraph& graph,
                       const BootTimeline& timeline) {
  const std::string& command = request.command;
  if (command == "critical-chain")
    return Chain(request, timeline);
  TextReport report(timeline);
  if (command == "time") {
    out_ << report.TimeLine() << "\n";
  } else if (command == "blame") {
    report.Blame(out_);
  } else {
    std::optional<CriticalChain> chain = LastChain(timeline);
    const CriticalChain* last = chain ? &*chain : nullptr;
    if (command == "plot")
      SvgPlot(timeline, last, report.TimeLine()).Write(out_);
    else
      TimedDot(graph.GetGraph(), graph.Nodes(), timeline, last).Write(out_);
  }
  return 0;
}

int AnalyzeRun::Verify(RebuiltGraph& graph) {
  std::vector<std::string> problems = graph.LoadFailures();
  if (graph.EnumerationFailure())
    problems.push_back(*graph.EnumerationFailure());
  problems.insert(problems.end(), graph.Cycles().begin(), graph.Cycles().end());
  for (const std::string& report : graph.MissingProviders())
    problems.push_back(report);
  for (const std::string& problem : problems)
    out_ << problem << "\n";
  if (problems.empty())
    out_ << "no problems found\n";
  return problems.empty() ? 0 : 1;
}

std::optional<RecordedBoot> AnalyzeRun::ReadBoot() {
  std::string path = platform::HostPath(platform::paths::kProfilingLog);
  RegularFileStream log(path);
  std::optional<RecordedBoot> boot;
  if (log)
    boot = ProfilingLog::ReadLastBoot(log);
  if (!boot) {
    Fail("no boot recorded in " + path);
    return std::nullopt;
  }
  if (boot->skippedLines > 0)
    Fail("skipped " + std::to_string(boot->skippedLines) + " unparseable line" +
         (boot->skippedLines == 1 ? "" : "s") + " of " + path);
  return boot;
}

int AnalyzeRun::Chain(const AnalyzeRequest& request, const BootTimeline& timeline) {
  int from = request.arguments.empty() ? timeline.LastEnded()
                                       : timeline.Find(request.arguments.front());
  if (from < 0)
    return Fail(request.arguments.empty() ? "no plugin ran in the last boot"
                                          : request.arguments.front() +
                                                " did not run in the last boot");
  TextReport(timeline).Chain(out_, CriticalChain(timeline, static_cast<size_t>(from)));
  return 0;
}

int AnalyzeRun::Fail(const std::string& message) {
  err_ << "kickstand-analyze: " << message << "\n";
  return 1;
}

}  // namespace kickstand
