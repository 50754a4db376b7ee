#pragma once
#include <string>

namespace kickstand {

/// Runs one operation of the native plugin at path in a child process of
/// the native executor program; throws MethodFailedException unless the
/// child exits with status 0.
void RunNativeExecutor(const std::string& method, const std::string& pluginName,
                       const std::string& path);

}  // namespace kickstand
