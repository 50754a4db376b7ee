#include <algorithm>
#include <gtest/gtest.h>

#include "PluginFiles.h"
#include "support/HostTree.h"

namespace {

using namespace plugin_files;
using testing_support::HostTree;
using testing_support::RunResult;
using Lines = std::vector<std::string>;

TEST(NativePluginTest, ReportsHowTheExecutorChildFailed) {
  HostTree tree;
  InstallNative(tree, NATIVE_PLUGIN_EXIT3, "libe3.so");
  InstallNative(tree, NATIVE_PLUGIN_KILL9, "libk9.so");
  InstallNative(tree, NATIVE_PLUGIN_V3, "libgood.so");
  RunResult run = tree.Run({"--plugin-flags=needed", "--parallel"});
  EXPECT_EQ(0, run.status) << run.out;
  Lines kernel = tree.ReadLines("/var/log/kernel.log");
  EXPECT_TRUE(Contains(kernel, "Kickstand plugin e3 activation failed: "
                               "e3->start() failed: exited with code 3")) << run.out;
  EXPECT_TRUE(Contains(kernel, "Kickstand plugin k9 activation failed: "
                               "k9->start() failed: exited with signal: 9")) << run.out;
  EXPECT_TRUE(Contains(kernel, "Kickstand plugin good activated."));
  EXPECT_EQ(Lines{"native start 3"}, tree.ReadLines("/var/log/order.log"));
}

TEST(NativePluginTest, UnusableObjectsAreNamedInTheAlert) {
  HostTree tree;
  std::string dir = tree.Path(kPluginDirectory);
  InstallNative(tree, NATIVE_PLUGIN_NOMETADATA, "libnm.so");
  InstallNative(tree, NATIVE_PLUGIN_V9, "libv9.so");
  tree.Write(std::string(kPluginDirectory) + "/libjunk.so", "not an object");
  RunResult run = tree.Run({"--plugin=libnm.so,libv9.so,libjunk.so"});
  EXPECT_EQ(0, run.status) << run.out;
  Lines alerts = tree.ReadLines("/var/log/alerts.log");
  ASSERT_EQ(3u, alerts.size()) << run.out;
  std::string symbol = "exception occurred whilst loading plugin libnm.so: Failed loading "
                       "symbol: metadata Located at: " + dir + "/libnm.so Reason: ";
  EXPECT_EQ(symbol, alerts[0].substr(0, symbol.size()));
  EXPECT_GT(alerts[0].size(), symbol.size());
  EXPECT_EQ("exception occurred whilst loading plugin libv9.so: plugin `" + dir +
                "/libv9.so' is invalid: Unsupported API version", alerts[1]);
  std::string invalid = "exception occurred whilst loading plugin libjunk.so: plugin `" + dir +
                        "/libjunk.so' is invalid: ";
  EXPECT_EQ(invalid, alerts[2].substr(0, invalid.size()));
}

TEST(NativePluginTest, BelowVersion3FlagsAndRunOnceAreIgnored) {
  HostTree tree;
  InstallNative(tree, NATIVE_PLUGIN_V2, "libold.so");
  RunResult run = tree.Run({"--plugin-flags=off"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_EQ(Lines{"native start 2"}, tree.ReadLines("/var/log/order.log")) << run.out;
}

TEST(NativePluginTest, InvokesTheHostProfileOperationOnlyWhereOffered) {
  HostTree tree;
  InstallNative(tree, NATIVE_PLUGIN_V2, "libold.so");
  InstallNative(tree, NATIVE_PLUGIN_V3, "libnew.so");
  RunResult run = tree.Run({"--invoke", "--method=apply_host_profile",
                            "--plugin=libold.so,libnew.so", "--plugin-flags=needed"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_TRUE(run.Logged("error: unable to invoke method 'apply_host_profile' on plugin 'old': "
                         "method `NativePlugin::ApplyHostProfile' is not implemented")) << run.out;
  EXPECT_EQ(Lines{"native apply_host_profile 3"}, tree.ReadLines("/var/log/order.log"));
}

}  // namespace
