#include "plugins/KernelLogObserver.h"

#include <istream>

#include "core/KernelLog.h"
#include "plugins/Plugin.h"

namespace kickstand {
namespace {

const std::string kPrefix = "Kickstand plugin ";
const std::string kFailed = " activation failed: ";
const std::string kActivated = " activated.";

}  // namespace

void KernelLogObserver::Started(const Plugin& plugin) {
  KernelLogMessage("Activating Kickstand plugin %s.", plugin.Name().c_str());
}

void KernelLogObserver::Finished(const Plugin& plugin,
                                 const std::optional<std::string>& failure) {
  if (failure)
    KernelLogMessage("%s%s%s%s", kPrefix.c_str(), plugin.Name().c_str(), kFailed.c_str(),
                     failure->c_str());
  else
    KernelLogMessage("%s%s%s", kPrefix.c_str(), plugin.Name().c_str(), kActivated.c_str());
}

std::map<std::string, std::string> KernelLogObserver::ReadFailures(std::istream& in) {
  std::map<std::string, std::string> failures;
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, kPrefix.size(), kPrefix) != 0)
      continue;
    size_t failed = line.find(kFailed, kPrefix.size());
    if (failed != std::string::npos) {
      failures[line.substr(kPrefix.size(), failed - kPrefix.size())] =
          line.substr(failed + kFailed.size());
    } else if (line.size() > kPrefix.size() + kActivated.size() &&
               line.compare(line.size() - kActivated.size(), kActivated.size(), kActivated) == 0) {
      failures.erase(line.substr(kPrefix.size(), line.size() - kPrefix.size() - kActivated.size()));
    }
  }
  return failures;
}

}  // namespace kickstand
