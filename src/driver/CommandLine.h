#pragma once
#include <list>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "core/RunOptions.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"

namespace kickstand {

/// What the command line selects besides the run options.
struct Selections {
  std::list<std::string> pluginNames;
  std::set<std::string> pluginFlags;
  std::set<std::string> runOnceKeys;
  /// The keys before the plugins were loaded: the command line's and, in an
  /// invoke run, the record's.
  std::set<std::string> runOnceKeysBeforeLoading;
  // A --plugin-directory value is used as given; only the default is a host path.
  std::string pluginDirectory = platform::HostPath(platform::paths::kPluginDirectory);
  bool init = false;
  bool daemon = false;
  bool stop = false;  // daemon direction
  bool dump = false;
  std::optional<std::string> dumpPath;
  std::optional<std::string> unknownOrder;  // the last --order value not understood
};

/// Parses and validates the command line with getopt_long.
class CommandLine {
 public:
  enum class Outcome { Run, ExitSuccess, ExitFailure };

  static Outcome Parse(int argc, char** argv, RunOptions& options, Selections& selections);
  static void PrintUsage(std::ostream& out);

  /// Applies one plugin-selection option (--plugin-directory, --plugin-flags,
  /// --disable-plugins, --plugin; name without the dashes) as a run would,
  /// for programs that rebuild a run's graph. False for any other name.
  static bool ApplySelection(const std::string& name, const char* value, RunOptions& options,
                             Selections& selections);

 private:
  static Outcome Validate(const RunOptions& options, Selections& selections);
};

}  // namespace kickstand
