#pragma once
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>

namespace kickstand {

struct RecordedBoot;

/// How long each plugin took, in microseconds, in the last boot that a
/// profiling log records: what a parallel run learns its order from.
class RecordedDurations {
 public:
  /// Nothing when the log records no boot: missing, unreadable, empty or
  /// nothing but garbage.
  static std::optional<RecordedDurations> Read(std::istream& log);
  explicit RecordedDurations(const RecordedBoot& boot);

  /// How many plugins the boot records as run.
  size_t Count() const { return durations_.size(); }
  /// Lines of the boot's section that did not parse and were left out.
  size_t SkippedLines() const { return skippedLines_; }
  /// What the plugin took. A plugin the boot does not record as run counts
  /// as the median of those it does, or 1 ms when it records none.
  int64_t Of(const std::string& plugin) const;

 private:
  std::map<std::string, int64_t> durations_;
  int64_t median_;
  size_t skippedLines_;
};

}  // namespace kickstand
