#include "plugins/DebugConfiguration.h"

#include <cctype>
#include <boost/algorithm/string/trim.hpp>
#include <boost/tokenizer.hpp>

#include "platform/Log.h"

namespace kickstand {
namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::vector<std::string> Fields(const std::string& line) {
  boost::char_separator<char> colons(":");
  boost::tokenizer<boost::char_separator<char>> tokens(line, colons);
  return std::vector<std::string>(tokens.begin(), tokens.end());
}

std::vector<std::string> BarrierList(const std::string& field) {
  std::string trimmed = boost::algorithm::trim_copy_if(field, IsSpace);
  if (trimmed.empty())
    return {};
  boost::escaped_list_separator<char> separator("\\", ",", "\"'");
  boost::tokenizer<boost::escaped_list_separator<char>> items(trimmed, separator);
  return std::vector<std::string>(items.begin(), items.end());
}

void ParseLines(std::istream& in, ParsedDebugConfiguration* parsed) {
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    boost::algorithm::trim_if(line, IsSpace);
    if (line.empty())
      continue;
    std::vector<std::string> fields = Fields(line);
    // A NUL would cut a name or a command short where it is used as C text.
    if (fields.size() != 4 || line.find('\0') != std::string::npos) {
      parsed->malformed.emplace_back(lineNumber, line);
      continue;
    }
    parsed->entries.push_back(
        {fields[0], BarrierList(fields[1]), BarrierList(fields[2]), fields[3]});
  }
}

}  // namespace

ParsedDebugConfiguration ParseDebugConfiguration(std::istream& in) {
  ParsedDebugConfiguration parsed;
  try {
    ParseLines(in, &parsed);
  } catch (const boost::escaped_list_error&) {
    parsed.failure = std::current_exception();
  }
  return parsed;
}

const std::vector<DebugEntry>& ParsedDebugConfiguration::Replay() const {
  for (const auto& [lineNumber, line] : malformed)
    Log_Level(5, "ignoring malformed debug entry at line %d: %s\n", lineNumber, line.c_str());
  if (failure)
    std::rethrow_exception(failure);
  return entries;
}

std::vector<DebugEntry> ReadDebugConfiguration(std::istream& in) {
  return ParseDebugConfiguration(in).Replay();
}

}  // namespace kickstand
