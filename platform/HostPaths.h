#pragma once

/// The fixed paths of the host, as the program names them; each is used
/// below the relocation root through platform::HostPath. The README's Files
/// table lists the same paths.
namespace platform {
namespace paths {

// What the operator provides.
const char kPluginDirectory[] = "/usr/libexec/kickstand/plugins";
const char kDebugConfiguration[] = "/etc/halvex/kickstand/debug.conf";
const char kHostProfile[] = "/etc/halvex/hostprofile.xml";
const char kCompressedHostProfile[] = "/etc/halvex/hostprofile.xml.gz";
const char kStatelessMarker[] = "/stateless.tgz";
const char* const kCommandDirectories[] = {
    "/usr/lib/halvex/tarncli", "/usr/lib/halvex/tarncli/int",
    "/usr/lib/halvex/tarncli/int/ext", "/usr/lib/halvex/tarncli/ext"};

// Programs the run starts.
const char kNativeExecutor[] = "/usr/lib/halvex/kickstand/nativeExecutor";
const char kSyslogDaemon[] = "/usr/lib/halvex/ozsyslog/bin/ozsyslogd";
const char kEventDaemon[] = "/etc/init.d/evtd";
const char kServiceLister[] = "/bin/chkconfig";
const char kLegacySyslogConfiguration[] = "/etc/syslog.conf";
const char kSyslogUpgradeScript[] = "/usr/lib/halvex/ozsyslog/bin/upgrade-syslog.conf.sh";
const char kSyslogPidFile[] = "/var/run/halvex/ozsyslogd.pid";

// What the run leaves.
const char kControlSocket[] = "/var/run/halvex/kickstandExecutor.sock";
const char kRunLock[] = "/var/run/halvex/kickstand.lock";
const char kExecutorLog[] = "/var/log/kickstand-tarncli-stdout.log";
const char kProfilingLog[] = "/var/log/sysboot.log";
const char kRunOnceRecord[] = "/bootbank/kickstnd.gz";

// The stand-ins' own files (HOST.md): kernel log, host alerts, progress
// screen, configuration store.
const char kKernelLog[] = "/var/log/kernel.log";
const char kAlerts[] = "/var/log/alerts.log";
const char kProgress[] = "/var/log/progress.log";
const char kConfigStore[] = "/var/lib/configstore/";

// Created below the root when missing; bootbank never is.
const char* const kRuntimeDirectories[] = {"/var/run/halvex", "/var/log",
                                           "/var/lib/configstore"};

}  // namespace paths
}  // namespace platform
