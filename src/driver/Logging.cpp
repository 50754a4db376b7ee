#include "driver/Logging.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <syslog.h>

#include "platform/Log.h"
#include "platform/PilotException.h"
#include "platform/ProductState.h"
#include "platform/Sysinfo.h"

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

void KernelLogMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::unique_ptr<char, decltype(&free)> message(Str_SafeVasprintf(nullptr, format, args), free);
  va_end(args);
  try {
    OzkCtl::Util::Sysinfo writer(OzkCtl::ZSI_NODE_system_log);
    writer.AddInput(message.get());
    writer.Set();
  } catch (const Pilot::Lib::PilotException& e) {
    Log_Syslog(LOG_ERR, ("Exception occurred while logging msg: " + std::string(e.what())).c_str());
    Log_Syslog(LOG_ERR, message.get());
  } catch (...) {
    Log_Syslog(LOG_ERR, "Unexpected exception while logging msg");
    Log_Syslog(LOG_ERR, message.get());
  }
}

}  // namespace kickstand
