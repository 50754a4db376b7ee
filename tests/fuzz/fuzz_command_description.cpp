// Any text must give a command description or be refused with a reason;
// no other exception may escape.
#include <sstream>
#include <stdexcept>
#include <string>
#include <nlohmann/json.hpp>

#include "platform/tessel/CommandDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    Tessel::AutoCli::CommandDescription::Parse("fuzz.json", in);
  } catch (const std::runtime_error&) {
  } catch (const nlohmann::json::exception&) {
  }
  return 0;
}
