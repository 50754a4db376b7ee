// Any text reads as the last boot it records, or as none; a recorded entry
// never ends before it starts, so no duration learned from it is negative.
#include <sstream>
#include <string>

#include "driver/ProfilingLog.h"
#include "driver/RecordedDurations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  if (auto boot = kickstand::ProfilingLog::ReadLastBoot(in)) {
    kickstand::RecordedDurations durations(*boot);
    for (const kickstand::ProfilingEntry& entry : boot->record.entries)
      if (timercmp(&entry.end, &entry.start, <) || durations.Of(entry.name) < 0) __builtin_trap();
  }
  return 0;
}
