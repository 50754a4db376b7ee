#pragma once
#include <optional>
#include <string>
#include <vector>

namespace Tessel {
namespace AutoCli {

/// Runs program with arguments to its end, in a process group of its own,
/// standard input from /dev/null and the other streams shared with the
/// caller. When the peer of client (unless -1) closes it first, ends the
/// program and its group: SIGTERM, SIGKILL 2 s later. Returns nothing when
/// it exited with status 0, otherwise what went wrong, naming the program.
std::optional<std::string> RunProgramToEnd(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           int client = -1);

}  // namespace AutoCli
}  // namespace Tessel
