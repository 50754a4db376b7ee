#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "analysis/PluginKind.h"

namespace kickstand {

class Node;
class Plugin;
struct RecordedBoot;

/// One plugin that ran in the last boot. Times are microseconds from
/// kickstand's own start.
struct TimedPlugin {
  std::string name;
  const Plugin* plugin = nullptr;  // null when the graph lacks it
  PluginKind kind = PluginKind::Unknown;
  /// When the last thing it waited for had ended (the first plugin's start
  /// when it waited for nothing).
  int64_t ready = 0;
  int64_t start = 0;
  int64_t end = 0;
  std::optional<std::string> failure;
  /// The plugin whose end it waited for last (a row), or -1.
  int after = -1;
  /// The node of its own dependencies through which it waited for `after`.
  const Node* via = nullptr;

  int64_t Duration() const { return end - start; }
  /// Ready but not yet started: no worker was free.
  int64_t WaitedForWorker() const { return start > ready ? start - ready : 0; }
};

/// The last boot of a profiling log joined by name with the graph rebuilt
/// from the plugin tree: when each plugin became ready, what it waited for
/// and how long it then waited for a worker.
class BootTimeline {
 public:
  /// nodes is the graph's node list; failures maps a plugin name to why its
  /// latest activation failed; processors is the host's processor count.
  BootTimeline(const RecordedBoot& boot, const std::deque<Plugin*>& nodes,
               const std::map<std::string, std::string>& failures, unsigned processors);

  /// The plugins that ran, in start order.
  const std::vector<TimedPlugin>& Plugins() const { return plugins_; }
  int64_t KernelMicroseconds() const { return kernel_; }
  int64_t FirstStart() const { return firstStart_; }
  int64_t LastEnd() const { return lastEnd_; }
  /// The run's worker count: 1, or in a parallel run the smaller of twice
  /// the processor count and the node count.
  unsigned Workers() const { return workers_; }
  size_t FailedCount() const;
  /// Names in the log that the node list lacks, each once.
  std::vector<std::string> NotInGraph() const;

  /// The row of the plugin named, or -1.
  int Find(const std::string& name) const;
  /// The row of the plugin that ended last, or -1 when none ran.
  int LastEnded() const;
  /// The nodes from a row's plugin down to its `after` plugin, both
  /// included, each waiting for the next (barriers in between).
  std::vector<const Node*> PathToAfter(size_t row) const;

 private:
  /// Of a node's dependencies, the one through which it waited longest:
  /// the plugin row at the end of that way, and when that plugin ended.
  struct Latest {
    const Node* via = nullptr;
    int row = -1;
    int64_t end = 0;
  };

  void Join(const RecordedBoot& boot, const std::deque<Plugin*>& nodes,
            const std::map<std::string, std::string>& failures);
  void FindReadyTimes();
  Latest LatestOf(const Node* node);
  Latest Through(const Node* dependency);

  std::vector<TimedPlugin> plugins_;
  std::unordered_map<const Node*, size_t> rowOf_;
  std::unordered_map<const Node*, Latest> barriers_;
  int64_t kernel_ = 0;
  int64_t firstStart_ = 0;
  int64_t lastEnd_ = 0;
  unsigned workers_ = 1;
};

}  // namespace kickstand
