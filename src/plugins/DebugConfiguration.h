#pragma once
#include <istream>
#include <string>
#include <vector>

namespace kickstand {

/// One line of the debug configuration: a shell command injected into the
/// boot graph between the barriers it requires and provides.
struct DebugEntry {
  std::string name;
  std::vector<std::string> requiredBarriers;
  std::vector<std::string> providedBarriers;
  std::string command;
};

/// Reads "name:requires:provides:command" lines. Malformed lines are
/// logged and skipped; a bad escape in a barrier list throws
/// boost::escaped_list_error.
std::vector<DebugEntry> ReadDebugConfiguration(std::istream& in);

}  // namespace kickstand
