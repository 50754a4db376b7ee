#pragma once
#include <string>

namespace OzkCtl {
namespace System {

/// Host alerts, kept as var/log/alerts.log below the relocation root.
class SystemInfoImpl {
 public:
  /// Never throws; a failed write is ignored.
  void SetSystemAlert(const std::string& text) const;
};

}  // namespace System
}  // namespace OzkCtl
