// Linked into a test plugin to make it a C++ one: loading it runs the
// shared C++ run time's static initialisation, a throw and catch included,
// inside kickstand, which carries a run time of its own.
#include <stdexcept>
#include <string>

namespace {
const std::string kLoaded = [] {
  try {
    throw std::runtime_error("loaded");
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}();
}  // namespace
