#pragma once
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/RunOptions.h"
#include "driver/CommandLine.h"

namespace kickstand {

/// What kickstand-analyze was asked: a command, its arguments, and the
/// plugin selection of the boot whose graph is to be rebuilt.
struct AnalyzeRequest {
  std::string command;
  std::vector<std::string> arguments;
  bool help = false;
  RunOptions options;
  Selections selections;
};

/// The command line of kickstand-analyze: the first word that is not an
/// option is the command; options may stand anywhere.
class AnalyzeCommandLine {
 public:
  /// Fills request; the one-line error when the command line is not usable.
  static std::optional<std::string> Parse(int argc, char** argv, AnalyzeRequest* request);
  static void PrintUsage(std::ostream& out);
  /// One command's help; false when there is no such command.
  static bool PrintHelp(const std::string& command, std::ostream& out);

 private:
  static std::optional<std::string> CheckArguments(const AnalyzeRequest& request);
};

}  // namespace kickstand
