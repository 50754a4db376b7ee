#pragma once
#include "plugins/ActivationObserver.h"

namespace kickstand {

/// The trace lines of a run with --trace: when each plugin starts, and how
/// long it took.
class TraceObserver : public ActivationObserver {
 public:
  void Started(const Plugin& plugin) override;
  void Finished(const Plugin& plugin, const std::optional<std::string>& failure) override;
};

}  // namespace kickstand
