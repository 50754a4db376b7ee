#include "platform/tessel/OptionParser.h"

#include "platform/tessel/ShellWords.h"

namespace Tessel {
namespace AutoCli {
namespace {

bool IsOption(const std::string& word) { return word.compare(0, 2, "--") == 0; }

bool HoldsNoCommand(const std::string& line) {
  size_t first = line.find_first_not_of(" \t\r\n");
  return first == std::string::npos || line[first] == '#';
}

}  // namespace

bool OptionParser::ParseString(const std::string& line) {
  errors_.clear();
  parameters_.clear();
  path_.clear();
  if (HoldsNoCommand(line))
    return true;
  std::vector<std::string> words;
  std::string error;
  if (SplitShellWords(line, words, error))
    Classify(words);
  else
    errors_.push_back(error);
  return false;
}

void OptionParser::Classify(const std::vector<std::string>& words) {
  size_t i = 0;
  for (; i < words.size() && !IsOption(words[i]); ++i)
    path_.push_back(words[i]);
  if (path_.empty())
    errors_.push_back("no command name before the option '" + words[0] + "'");
  for (; i < words.size(); ++i)
    AddOption(words[i]);
}

void OptionParser::AddOption(const std::string& word) {
  if (!IsOption(word)) {
    errors_.push_back("unexpected word '" + word + "' after the options");
    return;
  }
  size_t equals = word.find('=');
  std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
  if (name.empty()) {
    errors_.push_back("option without a name: '" + word + "'");
    return;
  }
  parameters_.emplace_back(name, equals == std::string::npos ? "true" : word.substr(equals + 1));
}

}  // namespace AutoCli
}  // namespace Tessel
