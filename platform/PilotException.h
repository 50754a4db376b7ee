#pragma once
#include <stdexcept>

namespace Pilot {
namespace Lib {

/// What the kernel-control stand-ins throw.
class PilotException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace Lib
}  // namespace Pilot
