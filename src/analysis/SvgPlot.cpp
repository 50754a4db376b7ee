#include "analysis/SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/BootTimeline.h"
#include "analysis/CriticalChain.h"
#include "analysis/PluginKind.h"
#include "analysis/TextEscape.h"
#include "analysis/TextReport.h"

namespace kickstand {
namespace {

// Monospace text, so a label's width follows from its length; the estimate
// is a little wider than common monospace fonts (0.6 em).
const double kFontSize = 12;
const double kCharWidth = 7.4;
const double kRowHeight = 18;  // a label (12 px) and a gap: labels of two rows never touch
const double kBarHeight = 12;
const double kMargin = 40;     // room for the half of the first tick label
const double kPlotWidth = 1000;
const double kLegendTop = 52;
const char kWaitColour[] = "#dddddd";
const char kFailedColour[] = "#d62728";
const char kChainColour[] = "#ffe08a";

double TextWidth(const std::string& text) {
  size_t characters = 0;
  for (char c : text)  // UTF-8 continuation bytes take no room of their own
    characters += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  return static_cast<double>(characters) * kCharWidth;
}

std::string Number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", value);
  return text;
}

struct LegendEntry {
  std::string label;
  std::string fill;
  std::string stroke;
};

std::vector<LegendEntry> LegendEntries() {
  std::vector<LegendEntry> entries;
  for (PluginKind kind : kAllKinds)
    entries.push_back({KindName(kind), KindColour(kind), "none"});
  entries.push_back({"waiting for a worker", kWaitColour, "none"});
  entries.push_back({"failed", "#ffffff", kFailedColour});
  entries.push_back({"critical chain", kChainColour, "none"});
  return entries;
}

const double kLegendSwatch = 12, kLegendGap = 24;

void Rect(std::ostream& out, double x, double y, double width, double height,
          const std::string& fill, const std::string& stroke = "none") {
  out << "<rect x=\"" << Number(x) << "\" y=\"" << Number(y) << "\" width=\"" << Number(width)
      << "\" height=\"" << Number(height) << "\" fill=\"" << fill << "\"";
  if (stroke != "none")
    out << " stroke=\"" << stroke << "\" stroke-width=\"2\"";
  out << "/>\n";
}

/// The tooltip of a row: everything known about the plugin.
std::string RowTitle(const TimedPlugin& plugin) {
  return XmlEscaped(plugin.name) + " (" + KindName(plugin.kind) + "): ready @" +
         TextReport::Seconds(plugin.ready) + ", started @" + TextReport::Seconds(plugin.start) +
         ", ran +" + TextReport::Seconds(plugin.Duration()) +
         (plugin.failure ? ", failed: " + XmlEscaped(*plugin.failure) : "");
}

double LegendWidth() {
  double width = 0;
  for (const LegendEntry& entry : LegendEntries())
    width += kLegendSwatch + 4 + TextWidth(entry.label) + kLegendGap;
  return width;
}

}  // namespace

SvgPlot::SvgPlot(const BootTimeline& timeline, const CriticalChain* chain, std::string header)
    : timeline_(timeline),
      onChain_(timeline.Plugins().size(), false),
      header_(std::move(header)),
      pixelsPerMicrosecond_(kPlotWidth /
                            static_cast<double>(std::max<int64_t>(timeline.LastEnd(), 1))),
      tickStep_(TickStep()),
      axisEnd_((timeline.LastEnd() + tickStep_ - 1) / tickStep_ * tickStep_),
      width_(FindWidth()) {
  if (chain)
    for (size_t row : chain->Rows())
      onChain_[row] = true;
}

double SvgPlot::X(int64_t microseconds) const {
  return kMargin + static_cast<double>(microseconds) * pixelsPerMicrosecond_;
}

// 1, 2 or 5 times a power of ten, the smallest whose labels keep apart.
int64_t SvgPlot::TickStep() const {
  for (int64_t power = 1;; power *= 10) {
    for (int64_t step : {power, 2 * power, 5 * power}) {
      double room = static_cast<double>(step) * pixelsPerMicrosecond_;
      if (room >= TextWidth(TickLabel(timeline_.LastEnd() + step, step)) + 2 * kCharWidth)
        return step;
    }
  }
}

// As many decimals as the step needs.
std::string SvgPlot::TickLabel(int64_t microseconds, int64_t step) const {
  int decimals = 6;
  for (int64_t unit = step; unit % 10 == 0 && decimals > 0; unit /= 10)
    --decimals;
  char text[48];
  snprintf(text, sizeof text, "%.*fs", decimals, static_cast<double>(microseconds) / 1e6);
  return text;
}

double SvgPlot::RowsTop() const { return kLegendTop + 48; }

double SvgPlot::FindWidth() const {
  double width = std::max({X(axisEnd_) + kMargin, LegendWidth() + 2 * kMargin,
                           TextWidth(header_) + 2 * kMargin});
  for (size_t row = 0; row < timeline_.Plugins().size(); ++row)
    width = std::max(width, X(timeline_.Plugins()[row].end) + 6 + TextWidth(RowLabel(row)) +
                                kMargin);
  return width;
}

double SvgPlot::Height() const {
  return RowsTop() + static_cast<double>(timeline_.Plugins().size()) * kRowHeight + 30;
}

void SvgPlot::Write(std::ostream& out) const {
  // Whole pixels, so that every renderer makes the same picture size.
  std::string width = std::to_string(static_cast<int64_t>(std::ceil(width_)));
  std::string height = std::to_string(static_cast<int64_t>(std::ceil(Height())));
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << width
      << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << " " << height
      << "\" font-family=\"monospace\" font-size=\"" << kFontSize << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  WriteHeader(out);
  WriteLegend(out);
  WriteAxis(out);
  for (size_t row = 0; row < timeline_.Plugins().size(); ++row)
    WriteRow(out, row);
  out << "</svg>\n";
}

void SvgPlot::WriteHeader(std::ostream& out) const {
  out << "<text x=\"" << kMargin << "\" y=\"22\" font-size=\"" << kFontSize
      << "\" font-weight=\"bold\">kickstand boot</text>\n"
      << "<text x=\"" << kMargin << "\" y=\"40\">" << XmlEscaped(header_) << "</text>\n";
}

void SvgPlot::WriteLegend(std::ostream& out) const {
  double x = kMargin;
  for (const LegendEntry& entry : LegendEntries()) {
    Rect(out, x, kLegendTop, kLegendSwatch, kLegendSwatch, entry.fill, entry.stroke);
    out << "<text x=\"" << Number(x + kLegendSwatch + 4) << "\" y=\"" << kLegendTop + 10 << "\">"
        << entry.label << "</text>\n";
    x += kLegendSwatch + 4 + TextWidth(entry.label) + kLegendGap;
  }
}

// Tick labels above the rows and below them, lines across.
void SvgPlot::WriteAxis(std::ostream& out) const {
  double top = RowsTop() - 6, bottom = Height() - 24;
  for (int64_t tick = 0; tick <= axisEnd_; tick += tickStep_) {
    std::string x = Number(X(tick)), label = TickLabel(tick, tickStep_);
    out << "<line x1=\"" << x << "\" y1=\"" << top << "\" x2=\"" << x << "\" y2=\"" << bottom
        << "\" stroke=\"#bbbbbb\" stroke-width=\"1\"/>\n";
    for (double y : {top - 4, bottom + 14})
      out << "<text x=\"" << x << "\" y=\"" << y << "\" text-anchor=\"middle\">" << label
          << "</text>\n";
  }
}

std::string SvgPlot::RowLabel(size_t row) const {
  const TimedPlugin& plugin = timeline_.Plugins()[row];
  return plugin.name + " " + TextReport::Seconds(plugin.Duration()) +
         (plugin.failure ? " (failed)" : "");
}

void SvgPlot::WriteRow(std::ostream& out, size_t row) const {
  const TimedPlugin& plugin = timeline_.Plugins()[row];
  double top = RowsTop() + static_cast<double>(row) * kRowHeight;
  double barTop = top + (kRowHeight - kBarHeight) / 2;
  out << "<g><title>" << RowTitle(plugin) << "</title>\n";
  if (onChain_[row])
    Rect(out, 0, top, width_, kRowHeight, kChainColour);
  if (plugin.WaitedForWorker() > 0)
    Rect(out, X(plugin.ready), barTop, X(plugin.start) - X(plugin.ready), kBarHeight,
         kWaitColour);
  Rect(out, X(plugin.start), barTop, std::max(1.0, X(plugin.end) - X(plugin.start)), kBarHeight,
       KindColour(plugin.kind), plugin.failure ? kFailedColour : "none");
  out << "<text x=\"" << Number(X(plugin.end) + 6) << "\" y=\"" << Number(top + 13) << "\""
      << (plugin.failure ? std::string(" fill=\"") + kFailedColour + "\"" : "")
      << (onChain_[row] ? " font-weight=\"bold\"" : "") << ">" << XmlEscaped(RowLabel(row))
      << "</text></g>\n";
}

}  // namespace kickstand
