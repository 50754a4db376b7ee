#include "driver/ProfilingLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <ostream>
#include <stdexcept>

#include "core/RunOptions.h"
#include "platform/Log.h"
#include "plugins/Plugin.h"
#include "util/afstream.h"

namespace kickstand {

ProfilingRecord ProfilingRecord::FromRun(const timeval& start, const timeval& end,
                                         long uptimeSeconds, const std::deque<Plugin*>& nodes,
                                         const RunOptions& options) {
  ProfilingRecord record;
  record.start = start;
  record.end = end;
  record.uptimeSeconds = static_cast<uint64_t>(uptimeSeconds);
  for (const Plugin* node : nodes)
    record.entries.push_back({node->Name(), node->StartTime(), node->EndTime()});
  record.verbose = options.verbose;
  record.parallel = options.parallel;
  record.randomize = options.randomize;
  record.interactive = options.interactive;
  record.randomSeed = options.randomSeed;
  return record;
}

void ProfilingLog::WriteFresh(const ProfilingRecord& record) const {
  try {
    afstream log(FileSystem::System(), rules_);
    log.open(path_);
    if (log.fail()) {
      Log_Level(2, "unable to open profiling log (%s): %s.\n", path_.c_str(), strerror(errno));
      return;
    }
    log << "OZKernel Initialization Time: " << record.uptimeSeconds * 1000000 << std::endl;
    WriteEntries(log, record, "sysboot");
    log << "=== Kickstand configuration info ===" << std::endl;
    WriteTimeLine(log, " Start: ", record.start);
    WriteTimeLine(log, " End: ", record.end);
    WriteOptions(log, record);
    log.commit();
  } catch (const std::runtime_error& e) {
    Log_Level(3, "unable to log profiling information: %s.\n", e.what());
  }
}

void ProfilingLog::AppendDaemonSection(const ProfilingRecord& record) const {
  try {
    afstream log(FileSystem::System(), rules_);
    log.open_append(path_);
    if (log.fail()) {
      Log_Level(2, "unable to reopen profiling log (%s): %s.\n", path_.c_str(), strerror(errno));
      return;
    }
    WriteEntries(log, record, "daemon");
    log << "=== Daemon configuration info ===" << std::endl;
    WriteTimeLine(log, " Start Daemon: ", record.start);
    WriteTimeLine(log, " End Daemon: ", record.end);
    WriteOptions(log, record);
    log.commit();
  } catch (const std::runtime_error& e) {
    Log_Level(3, "unable to log daemon profiling information: %s.\n", e.what());
  }
}

void ProfilingLog::WriteEntries(std::ostream& out, const ProfilingRecord& record,
                                const char* kind) {
  for (const ProfilingEntry& entry : record.entries) {
    out << "[";
    WriteTimestamp(out, entry.start);
    out << " - ";
    WriteTimestamp(out, entry.end);
    out << "] " << kind << ": " << entry.name << std::endl;
  }
}

void ProfilingLog::WriteTimeLine(std::ostream& out, const char* label, const timeval& time) {
  out << label;
  WriteTimestamp(out, time);
  out << std::endl;
}

void ProfilingLog::WriteOptions(std::ostream& out, const ProfilingRecord& record) {
  out << " Verbose: " << record.verbose << std::endl
      << " Parallel: " << record.parallel << std::endl
      << " Randomize: " << record.randomize << std::endl
      << " Interactive Mode: " << record.interactive << std::endl
      << " Random Seed: " << record.randomSeed << std::endl;
}

void ProfilingLog::WriteTimestamp(std::ostream& out, const timeval& time) {
  time_t seconds = time.tv_sec;
  struct tm parts {};
  gmtime_r(&seconds, &parts);
  out << std::setfill('0') << std::setw(4) << parts.tm_year + 1900 << '-' << std::setw(2)
      << parts.tm_mon + 1 << '-' << std::setw(2) << parts.tm_mday << ' ' << std::setw(2)
      << parts.tm_hour << ':' << std::setw(2) << parts.tm_min << ':' << std::setw(2)
      << parts.tm_sec << '.' << std::setw(6) << time.tv_usec;
}

}  // namespace kickstand
