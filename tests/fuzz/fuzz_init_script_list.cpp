// Any listing must be read without fault, each path one whole word.
#include <cstdlib>
#include <sstream>
#include <string>

#include "daemons/InitScriptList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& [priority, path] : kickstand::ReadInitScripts(in))
    if (path.empty() || path.find_first_of(" \t\n\v\f\r") != std::string::npos)
      abort();
  return 0;
}
