#include "util/ShellQuoted.h"

namespace kickstand {

std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace kickstand
