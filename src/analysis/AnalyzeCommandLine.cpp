#include "analysis/AnalyzeCommandLine.h"

#include <getopt.h>

namespace kickstand {
namespace {

struct Command {
  const char* name;
  size_t maxArguments;
  const char* help;
};

const Command kCommands[] = {
#include "analysis/AnalyzeHelp.inc"
};

const char* const kUsage[] = {
#include "analysis/AnalyzeUsage.inc"
};

const Command* FindCommand(const std::string& name) {
  for (const Command& command : kCommands)
    if (name == command.name)
      return &command;
  return nullptr;
}

const option kOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"plugin-directory", required_argument, nullptr, 0},
    {"plugin-flags", required_argument, nullptr, 0},
    {"disable-plugins", required_argument, nullptr, 0},
    {"plugin", required_argument, nullptr, 0},
    {nullptr, 0, nullptr, 0},
};

/// The option getopt refused: a long one as written, a short one by its letter.
std::string Offending(const char* word) {
  if (std::string(word).compare(0, 2, "--") == 0 || optopt == 0)
    return word;
  return std::string("-") + static_cast<char>(optopt);
}

}  // namespace

std::optional<std::string> AnalyzeCommandLine::Parse(int argc, char** argv,
                                                     AnalyzeRequest* request) {
  optind = 0;  // full re-initialisation, so a process may parse more than once
  opterr = 0;  // the errors are reported in one line of our own
  for (;;) {
    int index = -1;
    int code = getopt_long(argc, argv, ":h", kOptions, &index);
    if (code == -1)
      break;
    if (code == 'h')
      request->help = true;
    else if (code == ':')
      return std::string("option '") + argv[optind - 1] + "' needs a value";
    else if (code == '?')
      return "unknown option '" + Offending(argv[optind - 1]) + "'";
    else
      CommandLine::ApplySelection(kOptions[index].name, optarg, request->options,
                                  request->selections);
  }
  for (int i = optind; i < argc; ++i) {
    if (request->command.empty())
      request->command = argv[i];
    else
      request->arguments.push_back(argv[i]);
  }
  return CheckArguments(*request);
}

std::optional<std::string> AnalyzeCommandLine::CheckArguments(const AnalyzeRequest& request) {
  if (request.command.empty())
    return request.help ? std::nullopt : std::optional<std::string>("no command given");
  const Command* command = FindCommand(request.command);
  if (!command)
    return "unknown command '" + request.command + "'";
  if (request.arguments.size() > command->maxArguments)
    return "unexpected argument '" + request.arguments[command->maxArguments] + "'";
  return std::nullopt;
}

void AnalyzeCommandLine::PrintUsage(std::ostream& out) {
  for (const char* line : kUsage)
    out << line << "\n";
}

bool AnalyzeCommandLine::PrintHelp(const std::string& name, std::ostream& out) {
  const Command* command = FindCommand(name);
  if (command)
    out << command->help;
  return command != nullptr;
}

}  // namespace kickstand
