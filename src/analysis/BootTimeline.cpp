#include "analysis/BootTimeline.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "core/RunOptions.h"
#include "driver/ProfilingLog.h"
#include "plugins/Plugin.h"

namespace kickstand {

BootTimeline::BootTimeline(const RecordedBoot& boot, const std::deque<Plugin*>& nodes,
                           const std::map<std::string, std::string>& failures,
                           unsigned processors)
    : kernel_(static_cast<int64_t>(boot.kernelMicroseconds)) {
  if (boot.record.parallel)
    workers_ = RunOptions::ParallelThreadCount(processors, boot.record.entries.size());
  Join(boot, nodes, failures);
  FindReadyTimes();
}

// Names may repeat (a file named twice): the n-th entry of a name goes with
// the n-th node of that name, as both are in node-list order.
void BootTimeline::Join(const RecordedBoot& boot, const std::deque<Plugin*>& nodes,
                        const std::map<std::string, std::string>& failures) {
  std::unordered_map<std::string, std::deque<const Plugin*>> byName;
  for (const Plugin* plugin : nodes)
    byName[plugin->Name()].push_back(plugin);
  for (const ProfilingEntry& entry : boot.record.entries) {
    std::deque<const Plugin*>& named = byName[entry.name];
    const Plugin* plugin = named.empty() ? nullptr : named.front();
    if (!named.empty())
      named.pop_front();
    if (!entry.Ran())
      continue;
    TimedPlugin row;
    row.name = entry.name;
    row.plugin = plugin;
    row.kind = KindOf(plugin);
    row.start = Microseconds(entry.start);
    row.end = Microseconds(entry.end);
    auto failure = failures.find(entry.name);
    if (failure != failures.end())
      row.failure = failure->second;
    plugins_.push_back(row);
  }
  std::sort(plugins_.begin(), plugins_.end(), [](const TimedPlugin& a, const TimedPlugin& b) {
    return std::tie(a.start, a.end, a.name) < std::tie(b.start, b.end, b.name);
  });
  if (plugins_.empty())
    return;
  // Times count from kickstand's start, unless the log lacks a usable one.
  int64_t origin = Microseconds(boot.record.start);
  if (origin == 0 || origin > plugins_.front().start)
    origin = plugins_.front().start;
  for (size_t row = 0; row < plugins_.size(); ++row) {
    TimedPlugin& plugin = plugins_[row];
    plugin.start -= origin;
    plugin.end -= origin;
    lastEnd_ = std::max(lastEnd_, plugin.end);
    if (plugin.plugin)
      rowOf_[plugin.plugin] = row;
  }
  firstStart_ = plugins_.front().start;
}

// Every node is scheduled at once, so a plugin that waits for nothing is
// ready when the first plugin starts.
void BootTimeline::FindReadyTimes() {
  for (TimedPlugin& row : plugins_) {
    row.ready = row.plugin ? firstStart_ : row.start;  // a lost plugin's waits are unknown
    if (!row.plugin)
      continue;
    Latest latest = LatestOf(row.plugin);
    if (latest.row < 0)
      continue;
    row.after = latest.row;
    row.via = latest.via;
    row.ready = std::max(row.ready, latest.end);
  }
}

BootTimeline::Latest BootTimeline::LatestOf(const Node* node) {
  Latest best;
  for (const Node* dependency : node->Dependencies()) {
    Latest candidate = Through(dependency);
    if (candidate.row >= 0 && (best.row < 0 || candidate.end > best.end)) {
      best = candidate;
      best.via = dependency;
    }
  }
  return best;
}

// A plugin that ran ends the search; one that did not never held anyone
// back; a barrier waited for whatever it waited for.
BootTimeline::Latest BootTimeline::Through(const Node* dependency) {
  auto row = rowOf_.find(dependency);
  if (row != rowOf_.end())
    return {dependency, static_cast<int>(row->second), plugins_[row->second].end};
  if (dynamic_cast<const Plugin*>(dependency))
    return {};
  auto known = barriers_.find(dependency);
  if (known != barriers_.end())
    return known->second;
  return barriers_[dependency] = LatestOf(dependency);
}

size_t BootTimeline::FailedCount() const {
  return static_cast<size_t>(std::count_if(plugins_.begin(), plugins_.end(),
                                           [](const TimedPlugin& p) { return p.failure; }));
}

std::vector<std::string> BootTimeline::NotInGraph() const {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const TimedPlugin& row : plugins_)
    if (!row.plugin && seen.insert(row.name).second)
      names.push_back(row.name);
  return names;
}

int BootTimeline::Find(const std::string& name) const {
  for (size_t row = 0; row < plugins_.size(); ++row)
    if (plugins_[row].name == name)
      return static_cast<int>(row);
  return -1;
}

int BootTimeline::LastEnded() const {
  int last = -1;
  for (size_t row = 0; row < plugins_.size(); ++row)
    if (last < 0 || plugins_[row].end > plugins_[static_cast<size_t>(last)].end)
      last = static_cast<int>(row);
  return last;
}

std::vector<const Node*> BootTimeline::PathToAfter(size_t row) const {
  std::vector<const Node*> path{plugins_[row].plugin};
  for (const Node* node = plugins_[row].via; node; node = barriers_.at(node).via) {
    path.push_back(node);
    if (rowOf_.count(node))
      break;
  }
  return path;
}

}  // namespace kickstand
