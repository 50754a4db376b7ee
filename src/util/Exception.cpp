#include "util/Exception.h"

namespace kickstand {

NotImplementedException::NotImplementedException(const std::string& method)
    : Exception("method `" + method + "' is not implemented") {}

MethodFailedException::MethodFailedException(const std::string& method,
                                             const std::string& pluginName,
                                             const std::string& reason)
    : Exception(pluginName + "->" + method + "() failed: " + reason) {}

TimedOutException::TimedOutException(unsigned seconds)
    : CutShortException("timed out after " + std::to_string(seconds) + " s") {}

InvalidPluginException::InvalidPluginException(const std::string& path,
                                               const std::string& reason)
    : Exception("plugin `" + path + "' is invalid: " + reason) {}

}  // namespace kickstand
