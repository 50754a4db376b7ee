#pragma once
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <sys/time.h>
#include <vector>

#include "core/Clock.h"
#include "util/afstream.h"

namespace kickstand {

class Plugin;
class RunOptions;

/// When one node ran; zero times when it never did (kept out, already run
/// once, a dump, or an interrupted run).
struct ProfilingEntry {
  std::string name;
  timeval start;
  timeval end;

  bool Ran() const { return Microseconds(start) != 0; }
};

/// Everything the profiling log records about one run.
struct ProfilingRecord {
  timeval start{0, 0};
  timeval end{0, 0};
  uint64_t uptimeSeconds = 0;
  std::vector<ProfilingEntry> entries;
  bool verbose = false;
  bool parallel = false;
  bool randomize = false;
  bool interactive = false;
  int64_t randomSeed = 0;

  static ProfilingRecord FromRun(const timeval& start, const timeval& end, long uptimeSeconds,
                                 const std::deque<Plugin*>& nodes, const RunOptions& options);
};

/// What a profiling log says about the last boot it records: the entries
/// and run times of its last fresh section.
struct RecordedBoot {
  ProfilingRecord record;  // its uptimeSeconds stays 0: see kernelMicroseconds
  uint64_t kernelMicroseconds = 0;
  /// Lines of the section that did not parse (garbage, a time out of range,
  /// an end before its start); they are left out.
  size_t skippedLines = 0;
};

/// The boot profiling log. A boot replaces it with a fresh log; daemon runs
/// append a section. Failures are logged, never thrown: the previous log
/// then stays as it was.
class ProfilingLog {
 public:
  explicit ProfilingLog(std::string path, ReplacementRules rules = {})
      : path_(std::move(path)), rules_(std::move(rules)) {}

  void WriteFresh(const ProfilingRecord& record) const;
  void AppendDaemonSection(const ProfilingRecord& record) const;

  /// UTC, "2026-01-31 23:59:07.000042"; leaves the fill character at '0'.
  static void WriteTimestamp(std::ostream& out, const timeval& time);

  /// The last boot the log text records; nothing when it records none.
  static std::optional<RecordedBoot> ReadLastBoot(std::istream& in);

 private:
  static void WriteEntries(std::ostream& out, const ProfilingRecord& record, const char* kind);
  static void WriteTimeLine(std::ostream& out, const char* label, const timeval& time);
  static void WriteOptions(std::ostream& out, const ProfilingRecord& record);

  std::string path_;
  ReplacementRules rules_;
};

}  // namespace kickstand
