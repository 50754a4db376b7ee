#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kickstand {

/// Runs one command line; throws when it failed.
using CommandLineRunner = std::function<void(const std::string&)>;

/// Runs every command, going on after failures, and then throws one
/// MethodFailedException if any of them failed.
void RunCommands(const std::string& method, const std::string& pluginName,
                 const std::vector<std::string>& commands, const CommandLineRunner& execute);

}  // namespace kickstand
