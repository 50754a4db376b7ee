#include "driver/CommandLine.h"

#include <algorithm>
#include <getopt.h>
#include <iterator>
#include <iostream>
#include <string>
#include <boost/lexical_cast.hpp>
#include <boost/tokenizer.hpp>

#include "platform/Log.h"

namespace kickstand {
namespace {

const char* const kUsage[] = {
#include "driver/UsageText.inc"
};

enum Code {
  kHelp = 'h', kInit = 256, kPluginFlags, kTrace, kInvoke, kMethod, kPlugin,
  kVerbose, kParallel, kRandomize, kRunOnce, kInteractive, kDisablePlugins,
  kPluginDirectory, kDumpTree, kInteractiveRequires, kDaemon, kDaemonWaitTimeout,
  kPluginTimeout,
  kOrder,
};

const unsigned long kMaxPluginTimeout = 86400;

const option kOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"init", no_argument, nullptr, kInit},
    {"plugin-flags", required_argument, nullptr, kPluginFlags},
    {"trace", no_argument, nullptr, kTrace},
    {"invoke", no_argument, nullptr, kInvoke},
    {"method", required_argument, nullptr, kMethod},
    {"plugin", required_argument, nullptr, kPlugin},
    {"verbose", no_argument, nullptr, kVerbose},
    {"parallel", no_argument, nullptr, kParallel},
    {"randomize", optional_argument, nullptr, kRandomize},
    {"run-once", required_argument, nullptr, kRunOnce},
    {"interactive", no_argument, nullptr, kInteractive},
    {"disable-plugins", required_argument, nullptr, kDisablePlugins},
    {"plugin-directory", required_argument, nullptr, kPluginDirectory},
    {"dump-dependency-tree", optional_argument, nullptr, kDumpTree},
    {"interactive-mode-requires", required_argument, nullptr, kInteractiveRequires},
    {"daemon", optional_argument, nullptr, kDaemon},
    {"daemon-wait-timeout", required_argument, nullptr, kDaemonWaitTimeout},
    {"plugin-timeout", required_argument, nullptr, kPluginTimeout},
    {"order", required_argument, nullptr, kOrder},
    {nullptr, 0, nullptr, 0},
};

/// Comma-separated tokens, empty ones dropped, blanks kept.
template <typename Add>
void ForEachToken(const char* value, Add add) {
  std::string text = value;
  boost::char_separator<char> comma(",");
  for (const std::string& token : boost::tokenizer<boost::char_separator<char>>(text, comma))
    add(token);
}

template <typename T>
void ConvertInto(const char* value, T& target) {
  try {
    target = boost::lexical_cast<T>(value);
  } catch (const boost::bad_lexical_cast&) {
    // Malformed numbers are ignored: the previous value stands.
  }
}

void ApplyRandomize(const char* value, RunOptions& options) {
  options.randomize = true;
  if (!value) return;
  int seed = static_cast<int>(options.randomSeed);
  bool converted = true;
  try {
    seed = boost::lexical_cast<int>(value);
  } catch (const boost::bad_lexical_cast&) {
    converted = false;
  }
  if (converted) options.randomSeed = seed;
}

void ApplyDaemon(const char* value, RunOptions& options, Selections& selections) {
  selections.daemon = true;
  if (value) options.daemonWait = std::string(value) == "wait";
}

// Reported once the whole line is read, so that a help request still
// prints nothing but the usage text.
void ApplyOrder(const std::string& value, RunOptions& options, Selections& selections) {
  if (value == "height")
    options.order = RunOptions::Order::Height;
  else if (value == "history")
    options.order = RunOptions::Order::History;
  else
    selections.unknownOrder = value;
}

/// Applies one option of the table to the options or the selections.
void Apply(int code, const char* arg, RunOptions& options, Selections& selections) {
  switch (code) {
    case kInit: selections.init = true; break;
    case kPluginFlags:
      selections.pluginFlags.clear();
      ForEachToken(arg, [&](const std::string& t) { selections.pluginFlags.insert(t); });
      break;
    case kTrace: options.trace = true; break;
    case kInvoke: options.invoke = true; break;
    case kMethod: options.method = arg; break;
    case kPlugin:
      ForEachToken(arg, [&](const std::string& t) { selections.pluginNames.push_back(t); });
      break;
    case kVerbose: options.verbose = true; break;
    case kParallel: options.parallel = true; options.interactive = false; break;
    case kRandomize: ApplyRandomize(arg, options); break;
    case kRunOnce:
      ForEachToken(arg, [&](const std::string& t) { selections.runOnceKeys.insert(t); });
      break;
    case kInteractive: options.interactive = true; options.parallel = false; break;
    case kDisablePlugins:
      ForEachToken(arg, [&](const std::string& t) { options.disabledPlugins.push_back(t); });
      break;
    case kPluginDirectory: selections.pluginDirectory = arg; break;
    case kDumpTree:
      selections.dump = true;
      if (arg) selections.dumpPath = arg;
      break;
    case kInteractiveRequires:
      ForEachToken(arg, [&](const std::string& t) { options.interactiveModeRequires.push_back(t); });
      break;
    case kDaemon: ApplyDaemon(arg, options, selections); break;
    case kDaemonWaitTimeout: ConvertInto(arg, options.daemonWaitTimeout); break;
    case kOrder: ApplyOrder(arg, options, selections); break;
  }
}

/// Whole seconds from 0 to a day, digits only; false for anything else.
bool ApplyPluginTimeout(const char* value, RunOptions* options) {
  if (*value == '\0')
    return false;
  unsigned long seconds = 0;
  for (const char* digit = value; *digit; ++digit) {
    if (*digit < '0' || *digit > '9')
      return false;
    seconds = seconds * 10 + static_cast<unsigned long>(*digit - '0');
    if (seconds > kMaxPluginTimeout)
      return false;
  }
  options->pluginTimeout = static_cast<uint32_t>(seconds);
  return true;
}

/// getopt_long has told what was wrong; the hint follows.
CommandLine::Outcome OptionError(const char* program) {
  std::cerr << "usage: " << program << " --help for usage information" << std::endl;
  return CommandLine::Outcome::ExitFailure;
}

bool InvalidDaemonCombination(const RunOptions& options, const Selections& selections) {
  return options.interactive || options.invoke || options.method.empty() ||
         selections.init || !selections.pluginNames.empty() ||
         (options.method != "start" && options.method != "stop");
}

}  // namespace

// One write: standard output is unbuffered once logging is set up, and a
// flush per line made the help cost a system call per line.
void CommandLine::PrintUsage(std::ostream& out) {
  std::string text;
  for (const char* line : kUsage)
    text.append(line).push_back('\n');
  out << text << std::flush;
}

CommandLine::Outcome CommandLine::Parse(int argc, char** argv, RunOptions& options,
                                        Selections& selections) {
  optind = 0;  // full re-initialisation, so a process may parse more than once
  for (;;) {
    int code = getopt_long(argc, argv, "h", kOptions, nullptr);
    if (code == -1) break;
    if (code == '?' || code == ':')
      return OptionError(argv[0]);
    if (code == kPluginTimeout && !ApplyPluginTimeout(optarg, &options)) {
      std::cerr << argv[0] << ": option '--plugin-timeout' needs whole seconds from 0 to "
                << kMaxPluginTimeout << ", not '" << optarg << "'" << std::endl;
      return OptionError(argv[0]);
    }
    if (code == kHelp) {
      PrintUsage(std::cout);
      return Outcome::ExitSuccess;
    }
    if (code >= kInit && code <= kOrder)
      Apply(code, optarg, options, selections);
  }
  return Validate(options, selections);
}

bool CommandLine::ApplySelection(const std::string& name, const char* value, RunOptions& options,
                                 Selections& selections) {
  for (int code : {kPluginDirectory, kPluginFlags, kDisablePlugins, kPlugin}) {
    const option* entry = std::find_if(std::begin(kOptions), std::end(kOptions),
                                       [code](const option& o) { return o.val == code; });
    if (name == entry->name) {
      Apply(code, value, options, selections);
      return true;
    }
  }
  return false;
}

CommandLine::Outcome CommandLine::Validate(const RunOptions& options, Selections& selections) {
  if (selections.unknownOrder)
    Log_Level(3, "ignoring --order=%s: the order is height or history\n",
              selections.unknownOrder->c_str());
  if (selections.daemon) {
    if (InvalidDaemonCombination(options, selections)) {
      Log_Level(2, "Invalid combination of options passed. Exiting\n");
      return Outcome::ExitFailure;
    }
    selections.stop = options.method == "stop";
    return Outcome::Run;
  }
  if (options.invoke && (options.method.empty() || selections.pluginNames.empty())) {
    Log_Level(2, "invoke requires a method and plugin specified\n");
    PrintUsage(std::cout);
    return Outcome::ExitFailure;
  }
  return Outcome::Run;
}

}  // namespace kickstand
