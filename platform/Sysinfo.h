#pragma once
#include <string>
#include <string_view>

namespace OzkCtl {

/// Node identifier of the kernel system log.
extern const unsigned short ZSI_NODE_system_log;

namespace Util {

/// Writer on a kernel system-information node. The kernel system log is
/// kept as var/log/kernel.log below the relocation root, one message a line.
class Sysinfo {
 public:
  explicit Sysinfo(unsigned int node);
  void AddInput(std::string_view input);
  /// Writes the input; throws Pilot::Lib::PilotException on failure.
  void Set();

 private:
  unsigned int node_;
  std::string input_;
};

}  // namespace Util
}  // namespace OzkCtl
