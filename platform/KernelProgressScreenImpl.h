#pragma once
#include <string>

namespace OzkCtl {
namespace System {

/// The console boot progress screen, kept as var/log/progress.log below the
/// relocation root. Never throws.
class KernelProgressScreenImpl {
 public:
  void ProgressText(const std::string& text);
  void StatusText(const std::string& text);
  void Step();
};

}  // namespace System
}  // namespace OzkCtl
