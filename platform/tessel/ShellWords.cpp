#include "platform/tessel/ShellWords.h"

namespace Tessel {
namespace AutoCli {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool Fail(std::string& error, const std::string& what, size_t column) {
  error = what + " at column " + std::to_string(column + 1);
  return false;
}

bool ReadSingleQuoted(const std::string& line, size_t& i, std::string& word,
                      std::string& error) {
  size_t open = i - 1;
  size_t close = line.find('\'', i);
  if (close == std::string::npos)
    return Fail(error, "unterminated single quote", open);
  word.append(line, i, close - i);
  i = close + 1;
  return true;
}

bool ReadDoubleQuoted(const std::string& line, size_t& i, std::string& word,
                      std::string& error) {
  size_t open = i - 1;
  while (i < line.size() && line[i] != '"') {
    if (line[i] == '\\' && i + 1 < line.size())
      ++i;
    word += line[i++];
  }
  if (i == line.size())
    return Fail(error, "unterminated double quote", open);
  ++i;
  return true;
}

bool ReadWord(const std::string& line, size_t& i, std::string& word, std::string& error) {
  while (i < line.size() && !IsBlank(line[i])) {
    char c = line[i++];
    if (c == '\'' && !ReadSingleQuoted(line, i, word, error))
      return false;
    if (c == '"' && !ReadDoubleQuoted(line, i, word, error))
      return false;
    if (c == '\\') {
      if (i == line.size())
        return Fail(error, "backslash at the end of the line", i - 1);
      word += line[i++];
    } else if (c != '\'' && c != '"') {
      word += c;
    }
  }
  return true;
}

}  // namespace

bool SplitShellWords(const std::string& line, std::vector<std::string>& words,
                     std::string& error) {
  size_t i = 0;
  for (;;) {
    while (i < line.size() && IsBlank(line[i]))
      ++i;
    if (i == line.size())
      return true;
    std::string word;
    if (!ReadWord(line, i, word, error))
      return false;
    words.push_back(word);
  }
}

}  // namespace AutoCli
}  // namespace Tessel
