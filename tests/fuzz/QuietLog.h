#pragma once
#include "platform/Dictionary.h"
#include "platform/Log.h"

/// Keeps progress messages of the code under test off standard error,
/// where they would drown libFuzzer's own output.
inline void QuietLog() {
  Dictionary* dict = Dictionary_Create();
  Dict_SetString(dict, "error", "log.syslogLevel");
  Log_InitWithSyslogInt("kickstand-fuzz", dict, nullptr);
  Dictionary_Free(dict);
}
