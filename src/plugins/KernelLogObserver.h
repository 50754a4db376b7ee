#pragma once
#include <iosfwd>
#include <map>
#include <string>

#include "plugins/ActivationObserver.h"

namespace kickstand {

/// The kernel-log lines of every activation: "Activating Kickstand plugin
/// NAME." and then "... activated." or "... activation failed: WHY".
class KernelLogObserver : public ActivationObserver {
 public:
  void Started(const Plugin& plugin) override;
  void Finished(const Plugin& plugin, const std::optional<std::string>& failure) override;

  /// Reads those lines back from a kernel log: the plugins whose latest
  /// recorded activation failed, each with the first line of why. The log
  /// is only ever appended to, so a later line outdates an earlier one.
  static std::map<std::string, std::string> ReadFailures(std::istream& in);
};

}  // namespace kickstand
