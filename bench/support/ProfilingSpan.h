#pragma once
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <string>

namespace bench_support {

/// Seconds since the epoch of "YYYY-MM-DD HH:MM:SS.uuuuuu" (UTC).
inline double ParseLogTime(const char* text) {
  std::tm fields{};
  int micros = 0;
  if (std::sscanf(text, "%d-%d-%d %d:%d:%d.%d", &fields.tm_year, &fields.tm_mon, &fields.tm_mday,
                  &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &micros) != 7)
    return 0;
  fields.tm_year -= 1900;
  fields.tm_mon -= 1;
  return static_cast<double>(timegm(&fields)) + micros / 1e6;
}

/// The graph run as the profiling log saw it: the earliest plugin start
/// to the latest plugin end, and how many plugin lines there were.
struct ProfilingSpan {
  double seconds = 0;
  int plugins = 0;
};

inline ProfilingSpan ReadProfilingSpan(const std::string& logPath) {
  std::ifstream log(logPath);
  double first = std::numeric_limits<double>::max(), last = 0;
  ProfilingSpan span;
  for (std::string line; std::getline(log, line);) {
    size_t dash = line.find(" - "), close = line.find("] sysboot: ");
    if (line.empty() || line[0] != '[' || dash == std::string::npos || close == std::string::npos)
      continue;
    first = std::min(first, ParseLogTime(line.c_str() + 1));
    last = std::max(last, ParseLogTime(line.c_str() + dash + 3));
    ++span.plugins;
  }
  if (span.plugins > 0) span.seconds = last - first;
  return span;
}

}  // namespace bench_support
