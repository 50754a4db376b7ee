#pragma once

namespace kickstand {

/// Sends Log_Level messages to the system log under identity and, time
/// stamped, to standard output. Reports its own failures on standard error.
void SetupLogging(const char* identity);

/// Writes one formatted line to the kernel system log; falls back to
/// syslog when the kernel log refuses it. Never throws.
void KernelLogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kickstand
