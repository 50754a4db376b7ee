// The executor as build/kickstand starts and stops it.
#include <cstdio>
#include <string>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "ProcessRoot.h"
#include "support/HostTree.h"

using testing_support::HostTree;
using testing_support::RunResult;

namespace {

const char kSocket[] = "/var/run/halvex/kickstandExecutor.sock";

TEST(KickstandRun, StartsAndStopsTheExecutor) {
  HostTree tree;
  RunResult result = tree.Run({});
  EXPECT_TRUE(result.Logged("info: Launching Executor")) << result.out;
  EXPECT_TRUE(result.Logged("info: Setting up Executor - Reset Requested")) << result.out;
  EXPECT_TRUE(result.Logged("info: Executor has been Successfully Stopped")) << result.out;
  EXPECT_TRUE(executor_tests::NoListenerWithin(tree.Path(kSocket)));
  RunResult executorLog;
  executorLog.out = tree.Read("/var/log/kickstand-tarncli-stdout.log");
  EXPECT_TRUE(executorLog.Logged("info: Executor Reset - polling for commands")) << executorLog.out;
  EXPECT_TRUE(executorLog.Logged("info: Kickstand executor signalled to stop")) << executorLog.out;
}

TEST(KickstandRun, RunsJsonPluginCommandsInTheExecutor) {
  HostTree tree;
  tree.Write("/usr/libexec/kickstand/plugins/m.json",
             R"({"metadata": {"version": 1, "requires": [], "provides": ["m"]},
                 "operations": {"start": ["mark --note=\"from plugin\"", "mark"]}})");
  tree.Write("/usr/lib/halvex/tarncli/mark.json",
             R"({"path": ["mark"], "program": ")" + tree.Path("/bin/mark") +
                 R"(", "parameters": [{"name": "note", "required": true}]})");
  tree.WriteScript("/bin/mark", "echo \"$@\" >> " + tree.Path("/marks"));
  RunResult result = tree.Run({});
  EXPECT_EQ("--note=from plugin\n", tree.Read("/marks"));
  EXPECT_TRUE(result.Logged("error: Executor failed executing tarncli command: mark")) << result.out;
  RunResult executorLog;
  executorLog.out = tree.Read("/var/log/kickstand-tarncli-stdout.log");
  EXPECT_TRUE(executorLog.Logged(
      "error: execution of 'mark' failed : command 'mark' needs the parameter --note"))
      << executorLog.out;
}

TEST(KickstandRun, EndsAtOnceWhenTheExecutorCannotStart) {
  HostTree tree;
  boost::filesystem::remove_all(tree.Path("/var/run/halvex"));
  tree.Write("/var/run/halvex", "a file where the socket directory belongs");
  RunResult result = tree.Run({});
  EXPECT_EQ(1, result.status);
  EXPECT_TRUE(result.Logged("warning: Failed to start executor Kickstand executor failed to start"))
      << result.out;
  EXPECT_FALSE(result.Logged("info: Executor has been Successfully Stopped"));
}

TEST(KickstandRun, ExportsTheCommandFrameworkMarker) {
  FILE* symbols = popen("nm -D --defined-only " KICKSTAND_BINARY, "r");
  ASSERT_NE(nullptr, symbols);
  std::string table;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, symbols)) > 0;)
    table.append(buffer, n);
  pclose(symbols);
  EXPECT_NE(std::string::npos, table.find(" D __tarnclic_magic\n")) << table.substr(0, 2000);
}

}  // namespace
