#pragma once
#include <string>

namespace platform {

/// The relocation root: KICKSTAND_ROOT, read once per process ("" means "/").
const std::string& HostRoot();

/// Maps a fixed absolute host path below the relocation root. This is the
/// only place that builds such paths.
std::string HostPath(const std::string& hostPath);

/// Creates the run-time and log directories below the root when missing.
void EnsureRuntimeDirectories();

}  // namespace platform
