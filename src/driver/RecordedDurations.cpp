#include "driver/RecordedDurations.h"

#include <algorithm>
#include <vector>

#include "driver/ProfilingLog.h"

namespace kickstand {
namespace {

const int64_t kNothingRecorded = 1000;

int64_t Median(std::vector<int64_t> values) {
  if (values.empty())
    return kNothingRecorded;
  auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1)
    return *middle;
  int64_t below = *std::max_element(values.begin(), middle);
  return below + (*middle - below) / 2;
}

}  // namespace

std::optional<RecordedDurations> RecordedDurations::Read(std::istream& log) {
  std::optional<RecordedBoot> boot = ProfilingLog::ReadLastBoot(log);
  if (!boot)
    return std::nullopt;
  return RecordedDurations(*boot);
}

// A name recorded twice (two plugins of one name) counts its longer time:
// the order cannot tell the two apart, and the slower one matters more.
RecordedDurations::RecordedDurations(const RecordedBoot& boot)
    : skippedLines_(boot.skippedLines) {
  for (const ProfilingEntry& entry : boot.record.entries) {
    if (!entry.Ran())  // zero times say nothing about how long it takes
      continue;
    int64_t took = Microseconds(entry.end) - Microseconds(entry.start);
    auto [recorded, added] = durations_.emplace(entry.name, took);
    if (!added)
      recorded->second = std::max(recorded->second, took);
  }
  std::vector<int64_t> values;
  for (const auto& entry : durations_)
    values.push_back(entry.second);
  median_ = Median(std::move(values));
}

int64_t RecordedDurations::Of(const std::string& plugin) const {
  auto found = durations_.find(plugin);
  return found == durations_.end() ? median_ : found->second;
}

}  // namespace kickstand
