// kickstand-analyze: where the last boot's time went, as text, SVG and
// Graphviz, and the checks a boot would make, without running anything.
#include <iostream>

#include "analysis/AnalyzeRun.h"
#include "platform/Dictionary.h"
#include "platform/Log.h"
#include "platform/ProcessorCount.h"

int main(int argc, char** argv) {
  // Discovery narrates what it skips; the tool reports what matters itself,
  // so only failures would reach the system log.
  Dictionary* settings = Dictionary_Create();
  Dict_SetString(settings, "error", "log.syslogLevel");
  Log_InitWithSyslogInt("kickstand-analyze", settings, nullptr);
  Dictionary_Free(settings);
  return kickstand::AnalyzeRun(std::cout, std::cerr, platform::ProcessorCount()).Run(argc, argv);
}
