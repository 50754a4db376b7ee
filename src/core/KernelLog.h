#pragma once

namespace kickstand {

/// Writes one formatted line to the kernel system log; falls back to
/// syslog when the kernel log refuses it. Never throws.
void KernelLogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kickstand
