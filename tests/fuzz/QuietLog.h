#pragma once
#include "platform/Dictionary.h"
#include "platform/Log.h"

/// Keeps progress messages of the code under test off standard error,
/// where they would drown libFuzzer's own output. Included by a fuzz
/// target, this is its initialisation hook.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Dictionary* dict = Dictionary_Create();
  Dict_SetString(dict, "error", "log.syslogLevel");
  Log_InitWithSyslogInt("kickstand-fuzz", dict, nullptr);
  Dictionary_Free(dict);
  return 0;
}
