#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "plugins/Plugin.h"

namespace kickstand {

/// A plugin that starts and stops a service daemon by running one command
/// line per operation; subclasses fill in the command lines.
class DaemonPlugin : public Plugin {
 public:
  DaemonPlugin(const PluginContext& context, const std::string& name, uint32_t priority,
               uint32_t schedulingClass);

  /// Runs Stop; a failure is reported in the kernel log and goes no further.
  void Deactivate() override;
  void Start() override;
  bool SupportsHostProfile() override { return false; }
  void ApplyHostProfile() override;
  virtual void Stop();
  virtual void Restart();
  virtual void SSLReset();

  /// The command line stored under key; throws when there is none.
  const std::string& GetCommand(int32_t key) const;
  /// Throws kickstand::Exception with the failure text.
  void RunCommand(const std::string& commandLine);

  uint32_t Priority() const { return priority_; }

 protected:
  static constexpr int32_t kStartCommand = 2;
  static constexpr int32_t kStopCommand = 4;

  uint32_t priority_;
  std::map<int32_t, std::string> commands_;
};

}  // namespace kickstand
