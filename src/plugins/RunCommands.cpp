#include "plugins/RunCommands.h"

#include "platform/Log.h"
#include "util/Exception.h"

namespace kickstand {

void RunCommands(const std::string& method, const std::string& pluginName,
                 const std::vector<std::string>& commands, const CommandLineRunner& execute,
                 const Deadline& deadline) {
  int failures = 0;
  for (const std::string& command : commands) {
    if (deadline.Passed())
      deadline.Reached();
    try {
      execute(command, deadline);
    } catch (const CutShortException&) {
      throw;
    } catch (const std::exception& e) {
      Log_Level(2, "%s\n", e.what());
      ++failures;
    } catch (...) {
      ++failures;
    }
  }
  if (failures > 0)
    throw MethodFailedException(method, pluginName, "error while executing the cli");
}

}  // namespace kickstand
