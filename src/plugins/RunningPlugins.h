#pragma once
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "plugins/ActivationObserver.h"

namespace kickstand {

/// Which plugins run now and which have finished, for a run that a signal
/// interrupts: it names the plugins that were running, and keeps the
/// run-once keys of those that finished before it.
class RunningPlugins : public ActivationObserver {
 public:
  void Started(const Plugin& plugin) override;
  void Finished(const Plugin& plugin, const std::optional<std::string>& failure) override;

  /// At the interruption: remembers the plugins running now, which do not
  /// count as finished later.
  void Interrupt();
  /// The names of the plugins running at the interruption, in the order
  /// they started.
  std::vector<std::string> RunningAtInterruption() const;
  /// Whether plugin's work ended before the interruption, if any.
  bool FinishedBeforeInterruption(const Plugin& plugin) const;

 private:
  mutable std::mutex mutex_;
  std::vector<const Plugin*> running_;
  std::set<const Plugin*> finished_;
  std::vector<std::string> atInterruption_;
  bool interrupted_ = false;
};

}  // namespace kickstand
