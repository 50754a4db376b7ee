#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/Deadline.h"

namespace kickstand {

/// Runs one command line, giving it up at the deadline or the run's
/// interruption (what Deadline::Reached throws); throws when it failed.
using CommandLineRunner = std::function<void(const std::string&, const Deadline&)>;

/// Runs every command, going on after failures, and then throws one
/// MethodFailedException if any of them failed. A command still running at
/// the deadline, or when the run is interrupted, ends the operation with
/// what the deadline throws, and no further command is sent.
void RunCommands(const std::string& method, const std::string& pluginName,
                 const std::vector<std::string>& commands, const CommandLineRunner& execute,
                 const Deadline& deadline);

}  // namespace kickstand
