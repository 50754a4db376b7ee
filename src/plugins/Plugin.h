#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <sys/time.h>

#include "core/Deadline.h"
#include "graph/Node.h"
#include "plugins/PluginContext.h"

namespace kickstand {

/// Abstract base of the plugin kinds. Activation runs the start (or
/// apply-host-profile, or the invoked) operation, times it and contains
/// every failure, so a failed plugin still releases its dependants. What is
/// logged around it is left to the context's observer. With a plugin
/// timeout in the run options, the work is bounded by a deadline; once the
/// run is interrupted no plugin starts, and the work of those running gives
/// up what it waits for and fails as interrupted.
class Plugin : public Node {
 public:
  Plugin(const PluginContext& context, const std::string& name, uint32_t schedulingClass = 1);

  void Activate() override;
  std::string DotAttributes() const override { return ""; }

  virtual void Start() = 0;
  virtual bool SupportsHostProfile() = 0;
  virtual void ApplyHostProfile() = 0;
  virtual int32_t ApiVersion() const { return apiVersion_; }

  /// Runs one named method; false when it failed (already logged). Lets a
  /// CutShortException through.
  bool InvokeMethod(const std::string& method);

  const std::set<std::string>& RequiredFlags() const { return requiredFlags_; }
  const std::set<std::string>& DisablingFlags() const { return disablingFlags_; }
  bool RunOnce() const { return runOnce_; }
  const std::string& PluginVersion() const { return pluginVersion_; }
  const timeval& StartTime() const { return startTime_; }
  const timeval& EndTime() const { return endTime_; }
  int64_t DurationUs() const;

 protected:
  const PluginContext& context_;
  int32_t apiVersion_ = -1;
  bool runOnce_ = false;
  std::string pluginVersion_;
  std::set<std::string> requiredFlags_;
  std::set<std::string> disablingFlags_;
  /// Of the activation that runs: the kinds bound their waits by it.
  Deadline deadline_;
  /// Whether a signal has interrupted the run.
  bool RunInterrupted() const;

 private:
  bool Skipped();
  /// Why the work failed, if it did.
  std::optional<std::string> RunWork();
  void RunDefaultOperation();
  void ReportTimeout(const std::string& what);

  timeval startTime_{0, 0};
  timeval endTime_{0, 0};
};

/// Whether a host profile file exists; tested once per process.
bool HostProfilePresent();

}  // namespace kickstand
