#include <gtest/gtest.h>

#include "plugins/RunCommands.h"
#include "util/Exception.h"

namespace kickstand {
namespace {

TEST(RunCommandsTest, GoesOnAfterFailuresAndFailsOnceAtTheEnd) {
  std::vector<std::string> ran;
  auto execute = [&](const std::string& command) {
    ran.push_back(command);
    if (command == "bad") throw Exception("command failed: bad");
    if (command == "worse") throw 42;
  };
  try {
    RunCommands("start", "p", {"bad", "good", "worse", "last"}, execute);
    FAIL() << "no exception";
  } catch (const MethodFailedException& e) {
    EXPECT_STREQ("p->start() failed: error while executing the cli", e.what());
  }
  EXPECT_EQ((std::vector<std::string>{"bad", "good", "worse", "last"}), ran);
}

TEST(RunCommandsTest, SucceedsWhenEveryCommandSucceeds) {
  int count = 0;
  RunCommands("apply_host_profile", "p", {"a", "b"}, [&](const std::string&) { ++count; });
  RunCommands("apply_host_profile", "p", {}, [&](const std::string&) { ++count; });
  EXPECT_EQ(2, count);
}

}  // namespace
}  // namespace kickstand
