#pragma once

namespace kickstand {

/// The host's system log daemon, at the end of an init run: plugins may have
/// changed the logging configuration, so a legacy configuration file is
/// upgraded and the running daemon is told to reload. Failures are logged.
class SyslogDaemon {
 public:
  static void UpgradeAndReload();

 private:
  static void UpgradeLegacyConfiguration();
  static void SignalReload();
};

}  // namespace kickstand
