#include "driver/SyslogDaemon.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "core/Process.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "platform/Spawner.h"
#include "util/RegularFileStream.h"
#include "util/ShellQuoted.h"

namespace kickstand {

void SyslogDaemon::UpgradeAndReload() {
  UpgradeLegacyConfiguration();
  SignalReload();
}

void SyslogDaemon::UpgradeLegacyConfiguration() {
  if (access(platform::HostPath(platform::paths::kLegacySyslogConfiguration).c_str(), F_OK) != 0)
    return;
  std::string script = platform::HostPath(platform::paths::kSyslogUpgradeScript);
  if (RunShellCommand(platform::Spawner::System(), ShellQuoted(script)) == -1)
    Log_Level(2, "failed to call %s\n", script.c_str());
}

void SyslogDaemon::SignalReload() {
  RegularFileStream file(platform::HostPath(platform::paths::kSyslogPidFile));
  if (!file.is_open()) {
    Log_Level(3, "unable to open ozksyslogd pid file.\n");
    return;
  }
  pid_t pid = 0;
  // kill() reads 0 and negative numbers as process groups; they would reach
  // far more than the daemon.
  if (!(file >> pid) || pid <= 0) {
    Log_Level(2, "unable to read ozsyslogd pid.\n");
    return;
  }
  if (kill(pid, SIGUSR1) != 0)
    Log_Level(3, "failed to reload ozsyslogd: %s.\n", strerror(errno));
}

}  // namespace kickstand
