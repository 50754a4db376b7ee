#include <cstdint>
#include <string>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "ProcessRoot.h"
#include "executor/TarncliDispatcher.h"

extern "C" const uint32_t* const __tarnclic_magic;

using executor_tests::RootPath;

namespace {

const char* const kDirectories[] = {"/usr/lib/halvex/tarncli", "/usr/lib/halvex/tarncli/int",
                                    "/usr/lib/halvex/tarncli/int/ext",
                                    "/usr/lib/halvex/tarncli/ext"};

std::string Refusal(const char* directory) {
  return "unable to add external directory to the tarncli dispatcher: command directory " +
         RootPath(directory) + " does not exist\n";
}

TEST(InProcessTarncliDispatcher, LogsEachRefusedDirectoryInOrder) {
  boost::filesystem::remove_all(RootPath("/usr/lib/halvex/tarncli"));
  testing::internal::CaptureStderr();
  kickstand::TarncliDispatcher dispatcher;
  std::string expected;
  for (const char* directory : kDirectories)
    expected += Refusal(directory);
  EXPECT_EQ(expected, testing::internal::GetCapturedStderr());
}

TEST(InProcessTarncliDispatcher, EarlierDirectoriesDescribeACommandFirst) {
  boost::filesystem::remove_all(RootPath("/usr/lib/halvex/tarncli"));
  const std::string description = R"({"path": ["same"], "program": "/bin/true"})";
  executor_tests::WriteFile("/usr/lib/halvex/tarncli/ext/same.json", description);
  executor_tests::WriteFile("/usr/lib/halvex/tarncli/int/same.json", description);
  testing::internal::CaptureStderr();
  kickstand::TarncliDispatcher dispatcher;
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Refusal(kDirectories[2]) + "skipping command description " +
                RootPath("/usr/lib/halvex/tarncli/ext/same.json") +
                ": command 'same' is already described by " +
                RootPath("/usr/lib/halvex/tarncli/int/same.json") + "\n",
            log);
  boost::filesystem::remove_all(RootPath("/usr/lib/halvex/tarncli"));
}

TEST(InProcessTarncliDispatcher, MarkerPointsAtItsValue) {
  EXPECT_EQ(0x5CA1AB1Eu, *__tarnclic_magic);
}

}  // namespace
