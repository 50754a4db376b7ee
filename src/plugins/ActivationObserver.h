#pragma once
#include <optional>
#include <string>
#include <vector>

namespace kickstand {

class Plugin;

/// Told what happens around each plugin's activation: the kernel log, the
/// trace, the progress screen and the watchdog listen here, so that the
/// activation itself only runs the work and contains its failures.
class ActivationObserver {
 public:
  virtual ~ActivationObserver() = default;
  /// The plugin's work is about to run (after any interactive question);
  /// its start time is set.
  virtual void Started(const Plugin& plugin) = 0;
  /// The work has returned; failure holds why it failed. The end time is set.
  virtual void Finished(const Plugin& plugin, const std::optional<std::string>& failure) = 0;
};

/// Passes each event on to every observer added, in the order added.
class ActivationObservers : public ActivationObserver {
 public:
  void Add(ActivationObserver& observer) { observers_.push_back(&observer); }
  void Started(const Plugin& plugin) override {
    for (ActivationObserver* observer : observers_)
      observer->Started(plugin);
  }
  void Finished(const Plugin& plugin, const std::optional<std::string>& failure) override {
    for (ActivationObserver* observer : observers_)
      observer->Finished(plugin, failure);
  }

 private:
  std::vector<ActivationObserver*> observers_;
};

}  // namespace kickstand
