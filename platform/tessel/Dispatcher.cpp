#include "platform/tessel/Dispatcher.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <vector>
#include <boost/filesystem.hpp>

#include "platform/Log.h"
#include "platform/tessel/ProgramRun.h"

namespace fs = boost::filesystem;

namespace Tessel {
namespace AutoCli {
namespace {

std::vector<std::string> DescriptionFiles(const std::string& directory) {
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    if (entry.path().extension() == ".json")
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());  // directory order is arbitrary
  return files;
}

std::vector<std::string> ProgramArguments(const CallSpec::Input& input) {
  std::vector<std::string> arguments;
  for (const auto& parameter : input.Parameters())
    arguments.push_back("--" + parameter.first + "=" + parameter.second);
  return arguments;
}

}  // namespace

void Dispatcher::AddExternalDirectory(const std::string& directory) {
  boost::system::error_code error;
  if (!fs::is_directory(directory, error))
    throw std::runtime_error("command directory " + directory + " does not exist");
  for (const std::string& file : DescriptionFiles(directory))
    AddDescriptionFile(file);
}

void Dispatcher::AddDescriptionFile(const std::string& file) {
  try {
    CommandDescription command = CommandDescription::Load(file);
    auto known = commands_.find(command.path);
    if (known != commands_.end())
      throw std::runtime_error("command '" + JoinPath(command.path) + "' is already described by " +
                               known->second.file);
    commands_.emplace(command.path, command);
  } catch (const std::exception& e) {
    Log_Level(3, "skipping command description %s: %s\n", file.c_str(), e.what());
  }
}

bool Dispatcher::ExecuteCommand(std::shared_ptr<CommandInput> input,
                                std::shared_ptr<CommandOutput> output) {
  auto command = commands_.find(input->CommandPath());
  if (command == commands_.end()) {
    output->AddError("unknown command '" + JoinPath(input->CommandPath()) + "'");
    return false;
  }
  std::optional<std::string> failure = CheckParameters(command->second, *input);
  if (!failure)
    failure = RunProgramToEnd(command->second.program, ProgramArguments(*input),
                              input->ClientConnection());
  if (failure)
    output->AddError(*failure);
  return !failure;
}

std::optional<std::string> Dispatcher::CheckParameters(const CommandDescription& command,
                                        const CallSpec::Input& input) {
  std::set<std::string> given;
  for (const auto& parameter : input.Parameters()) {
    if (!command.FindParameter(parameter.first))
      return "command '" + JoinPath(command.path) + "' has no parameter --" + parameter.first;
    given.insert(parameter.first);
  }
  for (const CommandDescription::Parameter& parameter : command.parameters) {
    if (parameter.required && !given.count(parameter.name))
      return "command '" + JoinPath(command.path) + "' needs the parameter --" + parameter.name;
  }
  return std::nullopt;
}

}  // namespace AutoCli
}  // namespace Tessel
