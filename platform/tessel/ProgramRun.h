#pragma once
#include <optional>
#include <string>
#include <vector>

namespace Tessel {
namespace AutoCli {

/// Runs program with arguments to its end, standard input from /dev/null and
/// the other streams shared with the caller. Returns nothing when it exited
/// with status 0, otherwise what went wrong, naming the program.
std::optional<std::string> RunProgramToEnd(const std::string& program,
                                           const std::vector<std::string>& arguments);

}  // namespace AutoCli
}  // namespace Tessel
