#include "driver/Logging.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Log.h"
#include "platform/ProductState.h"

namespace kickstand {
namespace {

bool FailSetup(Dictionary* dict, const char* message) {
  Dictionary_Free(dict);
  fprintf(stderr, "%s\n", message);
  return false;
}

bool SetupStdout(const char* identity, Dictionary* dict) {
  Dictionary_Clear(dict);
  Dict_SetString(dict, "info", "log.stdoutLevel");
  Dict_SetBool(dict, true, "log.useTimeStamps.stdio");
  Dict_SetBool(dict, true, "log.useMilliseconds.stdio");
  LogOutput* output = Log_NewStdioOutput(identity, dict, nullptr);
  if (!output)
    return FailSetup(dict, "Failed creating standard out logging interface.");
  if (!Log_AddOutput(output))
    return FailSetup(dict, "Failed adding standard out logging interface.");
  return true;
}

}  // namespace

void SetupLogging(const char* identity) {
  fflush(stdout);
  setvbuf(stdout, nullptr, _IONBF, 0);
  Dictionary* dict = Dictionary_Create();
  Dict_SetString(dict, identity, "log.syslogID");
  Dict_SetString(dict, "info", "log.syslogLevel");
  Log_SetProductInfo(ProductState_GetName(), ProductState_GetVersion(),
                     ProductState_GetBuildNumberString(),
                     ProductState_GetCompilationOption());
  if (!Log_InitWithSyslogInt(identity, dict, nullptr)) {
    FailSetup(dict, "Failed to initialize logging to syslog.");
    return;
  }
  if (!SetupStdout(identity, dict))
    return;
  Log_SetStderrLevel(0, -1);
  Dictionary_Free(dict);
}

}  // namespace kickstand
