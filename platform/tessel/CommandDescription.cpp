#include "platform/tessel/CommandDescription.h"

#include <stdexcept>
#include <boost/iostreams/device/file_descriptor.hpp>
#include <boost/iostreams/stream.hpp>
#include <nlohmann/json.hpp>

#include "platform/OpenRegularFile.h"

namespace Tessel {
namespace AutoCli {
namespace {

using nlohmann::json;

bool IsPathWord(const json& word) {
  return word.is_string() && !word.get<std::string>().empty() &&
         word.get<std::string>().compare(0, 2, "--") != 0;
}

std::list<std::string> ReadPath(const json& description) {
  const json& path = description.value("path", json());
  if (!path.is_array() || path.empty())
    throw std::runtime_error("\"path\" must be a non-empty list of words");
  std::list<std::string> words;
  for (const json& word : path) {
    if (!IsPathWord(word))
      throw std::runtime_error("\"path\" holds " + word.dump() + ", which is not a command word");
    words.push_back(word.get<std::string>());
  }
  return words;
}

std::string ReadProgram(const json& description) {
  const json& program = description.value("program", json());
  if (!program.is_string() || program.get<std::string>().compare(0, 1, "/") != 0)
    throw std::runtime_error("\"program\" must be an absolute path");
  return program.get<std::string>();
}

CommandDescription::Parameter ReadParameter(const json& parameter) {
  if (!parameter.is_object() || !parameter.value("name", json()).is_string() ||
      parameter["name"].get<std::string>().empty())
    throw std::runtime_error("a parameter without a \"name\": " + parameter.dump());
  const json& required = parameter.value("required", json(false));
  if (!required.is_boolean())
    throw std::runtime_error("\"required\" of " + parameter["name"].dump() +
                             " is not true or false");
  return {parameter["name"].get<std::string>(), required.get<bool>()};
}

std::vector<CommandDescription::Parameter> ReadParameters(const json& description) {
  const json& parameters = description.value("parameters", json::array());
  if (!parameters.is_array())
    throw std::runtime_error("\"parameters\" must be a list");
  std::vector<CommandDescription::Parameter> read;
  for (const json& parameter : parameters)
    read.push_back(ReadParameter(parameter));
  return read;
}

}  // namespace

// Read as plugin files are: a FIFO named x.json must not hold up the first
// command, which builds the dispatcher.
CommandDescription CommandDescription::Load(const std::string& file) {
  std::string failure;
  int fd = platform::OpenRegularFile(file, &failure);
  if (fd < 0)
    throw std::runtime_error("cannot open it: " + failure);
  namespace io = boost::iostreams;
  io::stream<io::file_descriptor_source> in(fd, io::close_handle);
  return Parse(file, in);
}

CommandDescription CommandDescription::Parse(const std::string& file, std::istream& in) {
  json description = json::parse(in, nullptr, true, true);
  if (!description.is_object())
    throw std::runtime_error("a command description must be a JSON object");
  CommandDescription command;
  command.file = file;
  command.path = ReadPath(description);
  command.program = ReadProgram(description);
  command.parameters = ReadParameters(description);
  return command;
}

const CommandDescription::Parameter* CommandDescription::FindParameter(
    const std::string& name) const {
  for (const Parameter& parameter : parameters)
    if (parameter.name == name) return &parameter;
  return nullptr;
}

std::string JoinPath(const std::list<std::string>& path) {
  std::string joined;
  for (const std::string& word : path)
    joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

}  // namespace AutoCli
}  // namespace Tessel
