// Any text must either be read or end with boost::escaped_list_error.
#include <sstream>
#include <string>
#include <boost/tokenizer.hpp>

#include "QuietLog.h"
#include "plugins/DebugConfiguration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    kickstand::ReadDebugConfiguration(in);
  } catch (const boost::escaped_list_error&) {
  }
  return 0;
}
