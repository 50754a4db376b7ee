#pragma once
#include <string>
#include <sys/types.h>

namespace testing_support {

/// A temporary relocation root for tests that run the code in their own
/// process. The root is read once per process, so every such test calls
/// this before anything maps a host path; the first call creates the tree
/// and sets KICKSTAND_ROOT.
const std::string& ScratchRoot();

/// The content of a host file below the scratch root ("" when missing).
std::string ReadScratchFile(const std::string& hostPath);
/// Writes a host file below the scratch root, creating its directory.
void WriteScratchFile(const std::string& hostPath, const std::string& content,
                      mode_t mode = 0644);

/// Removes the host files the platform stand-ins write (alerts, kernel log,
/// progress), so a test sees only its own lines.
void ClearScratchLogs();

}  // namespace testing_support
