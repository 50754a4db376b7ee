// Reading the profiling log back: the analysis tool and the order learned
// from the last boot both start here.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <istream>

#include "driver/ProfilingLog.h"

namespace kickstand {
namespace {

const std::string kKernelLine = "OZKernel Initialization Time: ";
const std::string kEntryKind = "] sysboot: ";
const size_t kTimestampLength = 26;  // "2026-01-31 23:59:07.000042"

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

/// Digits only, so that sscanf cannot skip blanks or take signs.
bool Digits(const std::string& text, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

std::optional<timeval> ParseTimestamp(const std::string& text) {
  if (text.size() != kTimestampLength || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':' || text[19] != '.')
    return std::nullopt;
  for (size_t field : {0, 5, 8, 11, 14, 17, 20})
    if (!Digits(text, field, field == 0 ? 4 : field == 20 ? 6 : 2)) return std::nullopt;
  tm parts{};
  long microseconds = 0;
  sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%6ld", &parts.tm_year, &parts.tm_mon,
         &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &microseconds);
  if (parts.tm_year < 1970 || parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 ||
      parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60)
    return std::nullopt;
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  return timeval{timegm(&parts), static_cast<suseconds_t>(microseconds)};
}

/// "[START - END] sysboot: NAME", its end not before its start.
std::optional<ProfilingEntry> ParseEntry(const std::string& line) {
  const size_t endAt = 1 + kTimestampLength + 3;
  if (line.size() < endAt + kTimestampLength + kEntryKind.size() || line[0] != '[' ||
      line.compare(1 + kTimestampLength, 3, " - ") != 0 ||
      line.compare(endAt + kTimestampLength, kEntryKind.size(), kEntryKind) != 0)
    return std::nullopt;
  auto start = ParseTimestamp(line.substr(1, kTimestampLength));
  auto end = ParseTimestamp(line.substr(endAt, kTimestampLength));
  if (!start || !end || Microseconds(*end) < Microseconds(*start))
    return std::nullopt;
  return ProfilingEntry{line.substr(endAt + kTimestampLength + kEntryKind.size()), *start, *end};
}

/// One line of the fresh section after its kernel line. False when the
/// section has ended (a daemon section follows).
bool ReadSectionLine(const std::string& line, RecordedBoot* boot) {
  if (line.find("] daemon: ") != std::string::npos || StartsWith(line, "=== Daemon"))
    return false;
  if (auto entry = ParseEntry(line)) {
    boot->record.entries.push_back(*entry);
    return true;
  }
  for (auto [label, into] : {std::pair{" Start: ", &boot->record.start},
                             {" End: ", &boot->record.end}}) {
    if (!StartsWith(line, label))
      continue;
    if (auto time = ParseTimestamp(line.substr(std::string(label).size())))
      *into = *time;
    else
      ++boot->skippedLines;
    return true;
  }
  ProfilingRecord& record = boot->record;
  for (auto [label, into] : {std::pair{" Verbose: ", &record.verbose},
                             {" Parallel: ", &record.parallel},
                             {" Randomize: ", &record.randomize},
                             {" Interactive Mode: ", &record.interactive}}) {
    if (line == label + std::string("0") || line == label + std::string("1")) {
      *into = line.back() == '1';
      return true;
    }
  }
  if (StartsWith(line, " Random Seed: ") &&
      sscanf(line.c_str(), " Random Seed: %" SCNd64, &record.randomSeed) == 1)
    return true;
  if (line != "=== Kickstand configuration info ===")
    ++boot->skippedLines;
  return true;
}

}  // namespace

std::optional<RecordedBoot> ProfilingLog::ReadLastBoot(std::istream& in) {
  std::optional<RecordedBoot> boot;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (StartsWith(line, kKernelLine)) {
      boot = RecordedBoot();
      std::string digits = line.substr(kKernelLine.size());
      if (!digits.empty() && digits.size() <= 19 && Digits(digits, 0, digits.size()))
        boot->kernelMicroseconds = std::stoull(digits);
      else
        ++boot->skippedLines;
      inSection = true;
    } else if (inSection) {
      inSection = ReadSectionLine(line, &*boot);
    }
  }
  return boot;
}

}  // namespace kickstand
