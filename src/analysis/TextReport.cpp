#include "analysis/TextReport.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "analysis/BootTimeline.h"
#include "analysis/CriticalChain.h"

namespace kickstand {
namespace {

// Scheduling itself costs some microseconds; only longer waits are news.
const int64_t kNoticeableMicroseconds = 1000;

int64_t Milliseconds(int64_t microseconds) { return (microseconds + 500) / 1000; }

std::string Counted(size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string FailedMark(const TimedPlugin& plugin) {
  return plugin.failure ? " (failed)" : "";
}

std::string Prefix(size_t level) {
  return level == 0 ? "" : std::string(2 * (level - 1), ' ') + "\u2514\u2500";
}

}  // namespace

std::string TextReport::Seconds(int64_t microseconds) {
  int64_t milliseconds = Milliseconds(microseconds);
  std::string fraction = std::to_string(milliseconds % 1000);
  return std::to_string(milliseconds / 1000) + "." + std::string(3 - fraction.size(), '0') +
         fraction + "s";
}

// Rounded before adding, so the sum shown is the sum of the parts shown.
std::string TextReport::TimeLine() const {
  int64_t kernel = Milliseconds(timeline_.KernelMicroseconds());
  int64_t plugins = Milliseconds(timeline_.LastEnd() - timeline_.FirstStart());
  return "Boot: kernel " + Seconds(kernel * 1000) + " + plugins " + Seconds(plugins * 1000) +
         " = " + Seconds((kernel + plugins) * 1000) + " (" +
         Counted(timeline_.Plugins().size(), "plugin") + ", " +
         std::to_string(timeline_.FailedCount()) + " failed, " +
         Counted(timeline_.Workers(), "worker") + ")";
}

void TextReport::Blame(std::ostream& out) const {
  const std::vector<TimedPlugin>& plugins = timeline_.Plugins();
  std::vector<size_t> order(plugins.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return plugins[a].Duration() > plugins[b].Duration();
  });
  size_t width = 0;
  for (const TimedPlugin& plugin : plugins)
    width = std::max(width, Seconds(plugin.Duration()).size());
  for (size_t row : order) {
    const TimedPlugin& plugin = plugins[row];
    std::string duration = Seconds(plugin.Duration());
    out << std::string(2 + width - duration.size(), ' ') << duration << " " << plugin.name
        << FailedMark(plugin);
    if (plugin.WaitedForWorker() > kNoticeableMicroseconds)
      out << " (waited " << Seconds(plugin.WaitedForWorker()) << " for a worker)";
    out << "\n";
  }
}

void TextReport::Chain(std::ostream& out, const CriticalChain& chain) const {
  const std::vector<TimedPlugin>& plugins = timeline_.Plugins();
  out << "The time after @ is when the plugin started, counted from kickstand's start; the "
         "time after + is how long it ran.\n";
  for (size_t level = 0; level < chain.Rows().size(); ++level) {
    const TimedPlugin& plugin = plugins[chain.Rows()[level]];
    out << Prefix(level) << plugin.name << " @" << Seconds(plugin.start) << " +"
        << Seconds(plugin.Duration()) << FailedMark(plugin);
    if (plugin.after >= 0) {
      const TimedPlugin& dependency = plugins[static_cast<size_t>(plugin.after)];
      if (plugin.start - dependency.end > kNoticeableMicroseconds)
        out << " (" << Seconds(plugin.start - dependency.end) << " after " << dependency.name
            << ")";
    }
    out << "\n";
  }
}

}  // namespace kickstand
