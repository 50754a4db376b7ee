#include "core/KernelLog.h"

#include <cstdarg>
#include <cstdlib>
#include <memory>
#include <string>
#include <syslog.h>

#include "platform/Log.h"
#include "platform/PilotException.h"
#include "platform/Sysinfo.h"

namespace kickstand {

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
