#pragma once
#include <string>

namespace platform {

/// Appends text and a line feed to the file with one write, so lines from
/// concurrent writers never interleave. Returns false and keeps errno on
/// failure.
bool AppendLine(const std::string& path, const std::string& text);

}  // namespace platform
