// Any text must either parse or be rejected with InvalidPluginException.
#include <sstream>
#include <string>

#include "QuietLog.h"
#include "plugins/JSONDescription.h"
#include "util/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    kickstand::JSONDescription::Parse("fuzz.json", in);
  } catch (const kickstand::InvalidPluginException&) {
  }
  return 0;
}
