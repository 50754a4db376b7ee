#pragma once

namespace kickstand {

/// Sends Log_Level messages to the system log under identity and, time
/// stamped, to standard output. Reports its own failures on standard error.
void SetupLogging(const char* identity);

}  // namespace kickstand
