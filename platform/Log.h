#pragma once
#include <cstdarg>

#include "platform/Dictionary.h"

/// Logging of the base utility library. Levels: 2 failures, 3 tolerated
/// problems, 5 progress. Until Log_InitWithSyslogInt succeeds, messages go to
/// standard error, so nothing is lost before logging is configured.
struct LogOutput;

void Log_Level(int level, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void Log_SetProductInfo(const char* name, const char* version,
                        const char* build, const char* compilationOption);
/// Non-null when the system log output is active.
void* Log_InitWithSyslogInt(const char* appName, Dictionary* dict, void* reserved);
LogOutput* Log_NewStdioOutput(const char* appName, Dictionary* dict, void* reserved);
bool Log_AddOutput(LogOutput* output);
void Log_SetStderrLevel(int level, int reserved);

/// One message to the system log, never interleaved with Log_Level's, for
/// callers that must bypass the log levels (the kernel log's fallback).
void Log_Syslog(int priority, const char* text);
/// Prints to standard error; used before logging is configured.
void Warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// Prints to standard error and ends the process.
[[noreturn]] void Panic(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
/// A newly allocated formatted string, released by the caller with free.
char* Str_SafeVasprintf(unsigned* length, const char* format, va_list args);
