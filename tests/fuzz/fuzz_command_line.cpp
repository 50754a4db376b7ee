// Any argument vector (the input cut at NUL bytes) must parse without
// fault, and a run it lets through must have what its mode needs.
#include <cstdlib>
#include <getopt.h>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "QuietLog.h"
#include "driver/CommandLine.h"

using kickstand::CommandLine;

namespace {

bool Consistent(const kickstand::RunOptions& options, const kickstand::Selections& selections) {
  bool startOrStop = options.method == "start" || options.method == "stop";
  if (selections.daemon)
    return startOrStop && !options.invoke && !options.interactive && !selections.init &&
           selections.pluginNames.empty();
  bool invokeReady = !options.method.empty() && !selections.pluginNames.empty();
  return !(options.parallel && options.interactive) && (!options.invoke || invokeReady);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  opterr = 0;  // getopt's own complaints; the usage lines are muted below
  std::cout.rdbuf(nullptr);
  std::cerr.rdbuf(nullptr);
  std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> args{"kickstand"};
  for (std::string arg; std::getline(input, arg, '\0');)
    args.push_back(arg);
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  kickstand::RunOptions options = kickstand::RunOptions::Instance();
  kickstand::Selections selections;
  int argc = static_cast<int>(args.size());
  if (CommandLine::Parse(argc, argv.data(), options, selections) == CommandLine::Outcome::Run &&
      !Consistent(options, selections))
    abort();
  return 0;
}
