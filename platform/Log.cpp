#include "platform/Log.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <string>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

struct LogOutput {
  std::string identity;
  int maxLevel;
  bool timeStamps;
  bool milliseconds;
};

namespace {

struct LogState {
  std::mutex mutex;
  bool syslogActive = false;
  int syslogMaxLevel = 5;
  LogOutput* stdoutOutput = nullptr;
};

LogState& State() {
  static LogState* state = [] {
    auto* created = new LogState();  // outlives every thread
    // Workers may fork (the command executor restarts from one): the child
    // must not inherit the mutex held by a thread that does not exist there.
    pthread_atfork([] { State().mutex.lock(); }, [] { State().mutex.unlock(); },
                   [] { State().mutex.unlock(); });
    return created;
  }();
  return *state;
}

int LevelByName(const std::string& name) {
  if (name == "error") return 2;
  if (name == "warning") return 3;
  if (name == "verbose") return 6;
  return 5;  // "info"
}

const char* LevelName(int level, char* buffer, size_t size) {
  switch (level) {
    case 2: return "error";
    case 3: return "warning";
    case 5: return "info";
  }
  snprintf(buffer, size, "level-%d", level);
  return buffer;
}

int SyslogPriority(int level) {
  if (level <= 2) return LOG_ERR;
  if (level == 3) return LOG_WARNING;
  if (level <= 5) return LOG_INFO;
  return LOG_DEBUG;
}

std::string TimeStamp(bool milliseconds) {
  timeval now;
  gettimeofday(&now, nullptr);
  tm parts;
  gmtime_r(&now.tv_sec, &parts);
  char text[40];
  size_t used = strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  if (milliseconds)
    snprintf(text + used, sizeof text - used, ".%03ldZ", now.tv_usec / 1000);
  else
    snprintf(text + used, sizeof text - used, "Z");
  return text;
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string StdoutLine(const LogOutput& out, int level, const std::string& message) {
  char buffer[24];
  std::string line;
  if (out.timeStamps)
    line = TimeStamp(out.milliseconds) + " ";
  line += out.identity + "[" + std::to_string(getpid()) + "] " +
          LevelName(level, buffer, sizeof buffer) + ": " + message + "\n";
  return line;
}

}  // namespace

void Log_Level(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = Str_SafeVasprintf(nullptr, format, args);
  va_end(args);
  std::string message = text;
  free(text);
  if (!message.empty() && message.back() == '\n')
    message.pop_back();

  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (!state.syslogActive) {
    WriteAll(STDERR_FILENO, message + "\n");
    return;
  }
  if (level <= state.syslogMaxLevel)
    syslog(SyslogPriority(level), "%s", message.c_str());
  if (state.stdoutOutput && level <= state.stdoutOutput->maxLevel)
    WriteAll(STDOUT_FILENO, StdoutLine(*state.stdoutOutput, level, message));
}

void Log_Syslog(int priority, const char* text) {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  syslog(priority, "%s", text);
}

void Log_SetProductInfo(const char*, const char*, const char*, const char*) {
  // The stand-in system log has no header to stamp.
}

void* Log_InitWithSyslogInt(const char* appName, Dictionary* dict, void*) {
  static std::string identity;  // openlog keeps the pointer
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  identity = Dict_GetString(dict, "log.syslogID", appName);
  openlog(identity.c_str(), LOG_PID, LOG_DAEMON);
  state.syslogMaxLevel = LevelByName(Dict_GetString(dict, "log.syslogLevel", "info"));
  state.syslogActive = true;
  return &state;
}

LogOutput* Log_NewStdioOutput(const char* appName, Dictionary* dict, void*) {
  return new LogOutput{appName,
                       LevelByName(Dict_GetString(dict, "log.stdoutLevel", "info")),
                       Dict_GetString(dict, "log.useTimeStamps.stdio", "false") == "true",
                       Dict_GetString(dict, "log.useMilliseconds.stdio", "false") == "true"};
}

bool Log_AddOutput(LogOutput* output) {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (!output || state.stdoutOutput)
    return false;
  state.stdoutOutput = output;
  return true;
}

void Log_SetStderrLevel(int, int) {
  // Standard error carries no echo of log messages in the stand-in.
}

void Warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fputc('\n', stderr);
}

void Panic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  abort();
}

char* Str_SafeVasprintf(unsigned* length, const char* format, va_list args) {
  char* text = nullptr;
  int size = vasprintf(&text, format, args);
  if (size < 0)
    Panic("Str_SafeVasprintf: out of memory\n");
  if (length)
    *length = static_cast<unsigned>(size);
  return text;
}
