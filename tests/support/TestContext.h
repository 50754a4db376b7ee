#pragma once
#include <csignal>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/RunOptions.h"
#include "graph/Graph.h"
#include "plugins/ActivationObserver.h"
#include "plugins/KernelLogObserver.h"
#include "plugins/Plugin.h"
#include "plugins/PluginContext.h"
#include "plugins/TraceObserver.h"
#include "support/Fakes.h"
#include "util/Exception.h"
#include "util/Interruption.h"

namespace testing_support {

/// What a run gives its plugins, for plugins made in a test: a graph of
/// their own, options, a fake clock, the kernel log (and with trace the
/// trace) listening, and JSON command lines and load failures recorded
/// instead of run and raised. The runner throws for lines listed in failing,
/// and gives the hanging line up at its deadline; a signal interrupts the
/// run at the interrupting line.
struct TestContext {
  TestContext() { Listen(); }
  explicit TestContext(const kickstand::RunOptions& given) : options(given) { Listen(); }
  void Listen() {
    if (options.trace) observers.Add(trace);
    observers.Add(kernelLog);
  }

  kickstand::Graph graph;
  kickstand::RunOptions options;
  FakeClock clock;
  FakeSpawner spawner;
  kickstand::TraceObserver trace;
  kickstand::KernelLogObserver kernelLog;
  kickstand::ActivationObservers observers;
  std::vector<std::string> commandLines, failing, alerts;
  std::string hanging, interrupting;  // the line that waits for ever; the one a signal comes in
  kickstand::Interruption interruption;
  kickstand::PluginContext context{graph, options, clock, spawner, observers, nullptr, &interruption,
                                   [this](const std::string& line, const kickstand::Deadline& end) {
                                     commandLines.push_back(line);
                                     for (const std::string& bad : failing)
                                       if (bad == line) throw std::runtime_error("failed: " + line);
                                     if (line == interrupting) interruption.Interrupt(SIGTERM);
                                     if (line == hanging) end.Reached();
                                   },
                                   [this](const std::string& text) { alerts.push_back(text); }};
};

/// A plugin whose start takes `took` microseconds on the test's clock and
/// then does what it is told.
class TestPlugin : public kickstand::Plugin {
 public:
  TestPlugin(TestContext& test, const std::string& name, std::function<void()> start = nullptr,
             bool hostProfile = false)
      : Plugin(test.context, name), clock_(test.clock), start_(std::move(start)),
        hostProfile_(hostProfile) {}
  void Start() override {
    clock_.Advance(took);
    if (start_) start_();
  }
  bool SupportsHostProfile() override { return hostProfile_; }
  void ApplyHostProfile() override {
    if (!hostProfile_) throw kickstand::NotImplementedException("TestPlugin::ApplyHostProfile");
  }

  unsigned long took = 1500;

 private:
  const FakeClock& clock_;
  std::function<void()> start_;
  bool hostProfile_;
};

}  // namespace testing_support
