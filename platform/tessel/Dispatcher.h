#pragma once
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/tessel/Command.h"
#include "platform/tessel/CommandDescription.h"

namespace Tessel {
namespace AutoCli {

/// Runs the commands described in its external directories. Once set up,
/// it only reads its descriptions, so commands may run at the same time.
class Dispatcher {
 public:
  Dispatcher() = default;
  virtual ~Dispatcher() = default;

  /// Adds the commands described by the ".json" files of directory. Throws
  /// std::runtime_error when it is not a directory; a file that cannot be
  /// used is skipped with a level 3 message naming it.
  void AddExternalDirectory(const std::string& directory);

  /// Runs the command to its end; failures become errors of output. True
  /// when the command succeeded.
  bool ExecuteCommand(std::shared_ptr<CommandInput> input, std::shared_ptr<CommandOutput> output);

 private:
  void AddDescriptionFile(const std::string& file);
  /// The reason the parameters do not fit the command, if they do not.
  static std::optional<std::string> CheckParameters(const CommandDescription& command,
                                     const CallSpec::Input& input);

  std::map<std::list<std::string>, CommandDescription> commands_;
};

}  // namespace AutoCli
}  // namespace Tessel
