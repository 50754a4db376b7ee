#pragma once
#include <cstdint>
#include <ostream>
#include <string>

namespace kickstand {

class BootTimeline;
class CriticalChain;

/// The text answers about a boot: its time line, the plugins by how long
/// they ran, and a critical chain.
class TextReport {
 public:
  explicit TextReport(const BootTimeline& timeline) : timeline_(timeline) {}

  /// "Boot: kernel 2.785s + plugins 4.102s = 6.887s (7 plugins, 0 failed,
  /// 4 workers)": the plugins from the earliest start to the latest end.
  std::string TimeLine() const;
  /// Every plugin, longest first, with the time it waited for a worker.
  void Blame(std::ostream& out) const;
  /// One line a plugin, deepest last, indented by level.
  void Chain(std::ostream& out, const CriticalChain& chain) const;

  /// "3.048s": rounded to the millisecond.
  static std::string Seconds(int64_t microseconds);

 private:
  const BootTimeline& timeline_;
};

}  // namespace kickstand
