#pragma once
#include <list>
#include <string>
#include <utility>
#include <vector>

namespace Tessel {
namespace AutoCli {

/// Parses one command line: the leading words that do not start with "--"
/// name the command, every later word is "--name=value" or "--name" (whose
/// value is "true").
class OptionParser {
 public:
  /// True when the line holds no command (blank, or a comment starting with
  /// '#'); then nothing is to be run. False when the line was processed: the
  /// getters hold the outcome, parse errors included.
  bool ParseString(const std::string& line);

  const std::vector<std::string>& GetParseErrors() const { return errors_; }
  const std::vector<std::pair<std::string, std::string>>& GetCommandParameters() const {
    return parameters_;
  }
  const std::list<std::string>& GetCommandPath() const { return path_; }

 private:
  void Classify(const std::vector<std::string>& words);
  void AddOption(const std::string& word);

  std::vector<std::string> errors_;
  std::vector<std::pair<std::string, std::string>> parameters_;
  std::list<std::string> path_;
};

}  // namespace AutoCli
}  // namespace Tessel
