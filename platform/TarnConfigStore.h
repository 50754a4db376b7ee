#pragma once

/// The host configuration store's end-of-boot operations. Each appends its
/// own name to a file under var/lib/configstore and throws std::runtime_error
/// naming the file and the system error when it cannot.
namespace TarnConfigStore {

void EndAutoConf();
void CleanupBootState();

}  // namespace TarnConfigStore
