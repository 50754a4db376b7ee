#include <algorithm>
#include <set>
#include <gtest/gtest.h>

#include "PluginFiles.h"
#include "support/HostTree.h"

namespace {

using namespace plugin_files;
using testing_support::HostTree;
using testing_support::RunResult;
using Lines = std::vector<std::string>;

TEST(DiscoveryTest, ClassifiesFileNamesByTheirLastExtension) {
  HostTree tree;
  WritePlugin(tree, "a.b.json", Json(1, "[]", "[]", "[]"));
  RunResult run = tree.Run({"--plugin=noext,x.txt,a.b.json"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_TRUE(run.Logged("warning: ignoring plugin 'noext' of unspecified type...")) << run.out;
  EXPECT_TRUE(run.Logged("warning: ignoring plugin 'x.txt' of unknown type (txt)...")) << run.out;
  EXPECT_TRUE(Contains(tree.ReadLines("/var/log/kernel.log"), "Kickstand plugin a.b activated."));
}

TEST(DiscoveryTest, UnusablePluginFilesRaiseAlertsAndLeaveNoBarrierBehind) {
  HostTree tree;
  std::string dir = tree.Path(kPluginDirectory);
  WritePlugin(tree, "bad.json", "{\"metadata\": oops");
  WritePlugin(tree, "late.json", Json(1, "[\"ghost\"]", "[\"phantom\"]", "7"));
  RunResult run = tree.Run({"--plugin=missing.json,bad.json,late.json",
                            "--dump-dependency-tree"});
  EXPECT_EQ(0, run.status) << run.out;
  const Lines alerts = {
      "exception occurred whilst loading plugin missing.json: plugin `" + dir +
          "/missing.json' is invalid: no such file or directory",
      "exception occurred whilst loading plugin bad.json: plugin `" + dir +
          "/bad.json' is invalid: plugin root is not an object",
      "exception occurred whilst loading plugin late.json: plugin `" + dir +
          "/late.json' is invalid: operations is corrupt (unable to parse start)"};
  EXPECT_EQ(alerts, tree.ReadLines("/var/log/alerts.log"));
  for (const std::string& alert : alerts)
    EXPECT_TRUE(run.Logged("warning: " + alert)) << run.out;
  EXPECT_EQ(std::string::npos, run.out.find("ghost"));
  EXPECT_EQ(std::string::npos, run.out.find("phantom"));
}

TEST(DiscoveryTest, DenyListAndBootFlagsKeepPluginsOut) {
  HostTree tree;
  InstallNative(tree, NATIVE_PLUGIN_V3, "libfoo.so");
  WritePlugin(tree, "foo.json", Json(1, "[]", "[\"app\"]", "[]"));
  WritePlugin(tree, "both.json", Json(3, "[]", "[]", "[]",
                                      ", \"run_once\": false, \"plugin_version\": \"\","
                                      " \"disabling_flags\": [\"B\", \"A\", \"C\"],"
                                      " \"required_flags\": [\"R\", \"A\", \"Q\"]"));
  WritePlugin(tree, "need.json", Json(3, "[]", "[]", "[]",
                                      ", \"run_once\": false, \"plugin_version\": \"\","
                                      " \"required_flags\": [\"S\", \"R\"]"));
  tree.Write("/etc/halvex/kickstand/debug.conf", "after:app: :" + Append("after") + "\n");
  RunResult run = tree.Run({"--plugin-flags=A,B,S", "--disable-plugins=foo"});
  EXPECT_EQ(0, run.status) << run.out;
  Lines lines = run.LogLines();
  EXPECT_EQ(2, std::count(lines.begin(), lines.end(),
                          "info: ignoring plugin 'foo' due to denylist."));
  EXPECT_TRUE(run.Logged("warning: ignoring plugin 'both', disabled due to boot flags: A B ."));
  EXPECT_TRUE(run.Logged(
      "warning: ignoring plugin 'both', disabled due to missing required boot flags: Q R ."));
  EXPECT_TRUE(run.Logged(
      "warning: ignoring plugin 'need', disabled due to missing required boot flags: R ."));
  // The barrier's only providers were kept out: it counts as provided.
  EXPECT_EQ(Lines{"after"}, tree.ReadLines("/var/log/order.log"));
  EXPECT_FALSE(tree.Exists("/var/log/alerts.log"));
  EXPECT_EQ(std::string::npos, run.out.find("dependency error"));
}

TEST(DiscoveryTest, NativeAndJsonFilesShareTheirBaseName) {
  HostTree tree;
  InstallNative(tree, NATIVE_PLUGIN_V3, "libfoo.so");
  WritePlugin(tree, "foo.json", Json(1, "[]", "[]", "[]"));
  RunResult run = tree.Run({"--plugin-flags=needed"});
  EXPECT_EQ(0, run.status) << run.out;
  Lines kernel = tree.ReadLines("/var/log/kernel.log");
  EXPECT_EQ(2, std::count(kernel.begin(), kernel.end(), "Kickstand plugin foo activated."));
}

TEST(DiscoveryTest, ActivatesInBarrierOrder) {
  HostTree tree;
  InstallRecordCommand(tree);
  tree.Write("/etc/halvex/kickstand/debug.conf",
             "c:b2:done:" + Append("c") + "\n"
             "a: :b1:" + Append("a") + "\n"
             "\n"
             "b:b1:b2:" + Append("b") + "\n");
  WritePlugin(tree, "last.json", Json(1, "[\"done\"]", "[]",
                                      "[\"test nosuch\", \"test record --text=json\"]"));
  WritePlugin(tree, "first.json", Json(1, "[]", "[\"b1\"]", "[\"test record --text=first\"]"));
  RunResult run = tree.Run({"--parallel"});
  EXPECT_EQ(0, run.status) << run.out;
  Lines order = tree.ReadLines("/var/log/order.log");
  ASSERT_EQ(5u, order.size()) << run.out;
  using Names = std::set<std::string>;
  EXPECT_EQ((Names{"a", "first"}), Names(order.begin(), order.begin() + 2));
  EXPECT_EQ((Lines{"b", "c", "json"}), Lines(order.begin() + 2, order.end()));
  EXPECT_TRUE(run.Logged("error: Method invocation failed: last->start() failed: "
                         "error while executing the cli")) << run.out;
}

TEST(DiscoveryTest, DebugFilesLoadTheirEntriesAndCommandFailuresAreOnlyLogged) {
  HostTree tree;
  tree.Write("/etc/halvex/kickstand/debug.conf",
             "exit1: : :exit 1\n"
             "kill9: : :kill -9 $$\n"
             "exit1: : :" + Append("second") + "\n");
  RunResult run = tree.Run({"--plugin=exit1.debug,kill9.debug"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_TRUE(run.Logged("info: debug injection 'exit1' returned 0x000100")) << run.out;
  EXPECT_TRUE(run.Logged("info: debug injection 'kill9' returned 0x000009")) << run.out;
  EXPECT_EQ(Lines{"second"}, tree.ReadLines("/var/log/order.log"));
  Lines kernel = tree.ReadLines("/var/log/kernel.log");
  EXPECT_TRUE(Contains(kernel, "Kickstand plugin kill9 activated."));
}

TEST(DiscoveryTest, AMissingPluginDirectoryLoadsNothing) {
  HostTree tree;
  tree.Write("/etc/halvex/kickstand/debug.conf", "d: : :" + Append("d") + "\n");
  RunResult run = tree.Run({"--plugin-directory=/nonexistent/plugins"});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(run.Logged("error: unhandled exception whilst enumerating plugins.")) << run.out;
  EXPECT_FALSE(tree.Exists("/var/log/order.log"));
}

}  // namespace
