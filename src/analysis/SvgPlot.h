#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kickstand {

class BootTimeline;
class CriticalChain;

/// The boot as a self-contained SVG 1.1 timeline: a header, a legend, a
/// time axis, and a row per plugin in start order with its wait for a
/// worker, its run coloured by kind, failures marked and the critical
/// chain highlighted. Each label has a row of its own, so none overlap.
class SvgPlot {
 public:
  /// chain may be null (no plugin ran).
  SvgPlot(const BootTimeline& timeline, const CriticalChain* chain, std::string header);

  void Write(std::ostream& out) const;

 private:
  double X(int64_t microseconds) const;
  int64_t TickStep() const;
  std::string TickLabel(int64_t microseconds, int64_t step) const;
  double RowsTop() const;
  double FindWidth() const;
  double Height() const;
  void WriteHeader(std::ostream& out) const;
  void WriteLegend(std::ostream& out) const;
  void WriteAxis(std::ostream& out) const;
  void WriteRow(std::ostream& out, size_t row) const;
  std::string RowLabel(size_t row) const;

  const BootTimeline& timeline_;
  std::vector<bool> onChain_;
  std::string header_;
  double pixelsPerMicrosecond_;
  int64_t tickStep_;
  int64_t axisEnd_;  // the last tick, at or after the last end
  double width_;
};

}  // namespace kickstand
