#pragma once
#include <exception>
#include <istream>
#include <string>
#include <utility>
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

/// One reading of the configuration text, kept so that it can be given again
/// without reading the text again.
struct ParsedDebugConfiguration {
  std::vector<DebugEntry> entries;
  /// Line number and trimmed text of each malformed line, in file order.
  std::vector<std::pair<int, std::string>> malformed;
  /// The boost::escaped_list_error of a bad escape, which ends the reading.
  std::exception_ptr failure;

  /// What reading the text gives: logs each malformed line, then throws the
  /// failure or returns the entries.
  const std::vector<DebugEntry>& Replay() const;
};

/// Reads "name:requires:provides:command" lines without logging or throwing.
ParsedDebugConfiguration ParseDebugConfiguration(std::istream& in);

/// Reads "name:requires:provides:command" lines. Malformed lines are
/// logged and skipped; a bad escape in a barrier list throws
/// boost::escaped_list_error.
std::vector<DebugEntry> ReadDebugConfiguration(std::istream& in);

}  // namespace kickstand
