#pragma once
#include <string>
#include <sys/stat.h>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "commandexec/TarncliExecutor.h"
#include "support/ScratchRoot.h"
#include "util/Exception.h"

namespace executor_tests {

using testing_support::ReadScratchFile;
using testing_support::WriteScratchFile;

const char kSocket[] = "/var/run/halvex/kickstandExecutor.sock";

/// hostPath under this process's scratch root. Going through ScratchRoot
/// first matters: the code under test reads the root only once.
inline std::string Host(const std::string& hostPath) {
  return testing_support::ScratchRoot() + hostPath;
}

inline int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

/// What running commandLine in the executor throws, or "".
inline std::string Thrown(const std::string& commandLine,
                          const kickstand::Deadline& deadline = kickstand::Deadline()) {
  try {
    kickstand::TarncliExecutor::GetInstance()->Execute(commandLine, deadline);
  } catch (const kickstand::Exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace executor_tests
