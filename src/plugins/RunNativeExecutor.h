#pragma once
#include <string>

#include "core/Deadline.h"

namespace kickstand {

/// Runs one operation of the native plugin at path in a child process of
/// the native executor program; throws MethodFailedException unless the
/// child exits with status 0, and TimedOutException when it still runs at
/// the deadline (it is ended then, with its process group).
void RunNativeExecutor(const std::string& method, const std::string& pluginName,
                       const std::string& path, const Deadline& deadline);

}  // namespace kickstand
