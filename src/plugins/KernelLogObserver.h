#pragma once
#include "plugins/ActivationObserver.h"

namespace kickstand {

/// The kernel-log lines of every activation: "Activating Kickstand plugin
/// NAME." and then "... activated." or "... activation failed: WHY".
class KernelLogObserver : public ActivationObserver {
 public:
  void Started(const Plugin& plugin) override;
  void Finished(const Plugin& plugin, const std::optional<std::string>& failure) override;
};

}  // namespace kickstand
