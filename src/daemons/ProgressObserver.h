#pragma once
#include "plugins/ActivationObserver.h"

namespace kickstand {

/// Shows each service of a daemon run on the boot progress screen: its name
/// while it starts, one step when it is done.
class ProgressObserver : public ActivationObserver {
 public:
  void Started(const Plugin& plugin) override;
  void Finished(const Plugin& plugin, const std::optional<std::string>& failure) override;
};

}  // namespace kickstand
