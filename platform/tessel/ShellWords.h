#pragma once
#include <string>
#include <vector>

namespace Tessel {
namespace AutoCli {

/// Splits a line into words as a POSIX shell forms them, without any
/// expansion: blanks separate words, quotes may stand anywhere in a word, a
/// backslash outside single quotes takes the next character literally.
/// Returns false with the reason in error when a quote is left open or the
/// line ends in a backslash.
bool SplitShellWords(const std::string& line, std::vector<std::string>& words,
                     std::string& error);

}  // namespace AutoCli
}  // namespace Tessel
