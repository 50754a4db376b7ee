#pragma once
#include <string>

namespace kickstand {

/// word as one shell word: host paths pass through the shell (popen,
/// system), and the relocation root may hold any character.
std::string ShellQuoted(const std::string& word);

}  // namespace kickstand
