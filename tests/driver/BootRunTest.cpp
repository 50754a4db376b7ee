#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <gtest/gtest.h>
#include <boost/filesystem.hpp>

#include "support/HostTree.h"

using testing_support::HostTree;
using testing_support::RunResult;

namespace {

std::string UsageText() {
  std::ifstream file(std::string(KICKSTAND_TEST_SOURCE_DIR) + "/driver/usage.txt");
  return std::string(std::istreambuf_iterator<char>(file), {});
}

}  // namespace

TEST(BootRun, HelpAndOptionErrorsEndTheRunAtOnce) {
  HostTree tree;
  RunResult help = tree.Run({"--help", "--bogus"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, UsageText());

  for (const char* option : {"--bogus", "--plugin-timeout=-1"}) {
    RunResult bad = tree.Run({option, "--help"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find(std::string("usage: ") + KICKSTAND_BINARY +
                           " --help for usage information\n"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.out, "");
  }

  RunResult daemon = tree.Run({"--daemon", "--method=restart"});
  EXPECT_EQ(daemon.status, 1);
  EXPECT_EQ(daemon.LogLines(),
            std::vector<std::string>{"error: Invalid combination of options passed. Exiting"});

  RunResult invoke = tree.Run({"--invoke", "--method=start"});
  EXPECT_EQ(invoke.status, 1);
  EXPECT_TRUE(invoke.Logged("error: invoke requires a method and plugin specified"));
  EXPECT_NE(invoke.out.find(UsageText()), std::string::npos);
  EXPECT_FALSE(tree.Exists("/var/lib/configstore/end-autoconf"));
}

TEST(BootRun, TheWholeSequenceRunsAndACycleIsReportedAndBroken) {
  HostTree tree;
  boost::filesystem::create_directories(tree.Path("/stateless.tgz"));  // serial, still fine
  tree.Write("/etc/halvex/kickstand/debug.conf", "self:loop:loop:true\n");
  RunResult run = tree.Run({"--parallel"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const std::string cycle = "Kickstand dependency error: dependency cycle \"self\" -> \"loop\" -> "
                            "\"self\"; ignoring the dependency of \"self\" on \"loop\"";
  EXPECT_TRUE(run.Logged("error: " + cycle)) << run.out;
  EXPECT_EQ(tree.Read("/var/log/alerts.log"), cycle + "\n");
  EXPECT_NE(tree.Read("/var/log/kernel.log").find("Kickstand plugin self activated."),
            std::string::npos);
  EXPECT_EQ(tree.Read("/var/lib/configstore/end-autoconf"), "EndAutoConf\n");
  EXPECT_EQ(tree.Read("/var/lib/configstore/cleanup-boot-state"), "CleanupBootState\n");
  EXPECT_EQ(tree.ReadLines("/var/log/progress.log"),
            (std::vector<std::string>{"progress: Activating Kickstand Plugins", "status: "}));
}

TEST(BootRun, MissingPluginDirectoryOrDumpFileFailsTheRun) {
  HostTree tree;
  tree.Write("/etc/halvex/kickstand/debug.conf", "d: : :/bin/true\n");
  // A missing directory is resolved against the directory the program was
  // started in; an empty one does not become that directory.
  const std::pair<std::string, std::string> cases[] = {
      {"missing", tree.Root() + "/missing"}, {"", "construct: No such file or directory \n"}};
  for (const auto& [directory, detail] : cases) {
    RunResult run = tree.Run({"--plugin-directory=" + directory}, 60, tree.Root());
    EXPECT_EQ(run.status, 1) << directory;
    EXPECT_NE(run.out.find("error: unhandled exception whilst enumerating plugins."),
              std::string::npos);
    EXPECT_NE(run.out.find(detail), std::string::npos) << run.out;
    EXPECT_FALSE(tree.Exists("/var/log/kernel.log")) << directory;
    EXPECT_TRUE(tree.Exists("/var/lib/configstore/cleanup-boot-state"));
  }

  // A dump goes whole to its file (its frame is the graph tests', standard
  // output the daemon run's); an unwritable one fails the run.
  boost::filesystem::remove(tree.Path("/etc/halvex/kickstand/debug.conf"));
  RunResult file = tree.Run({"--dump-dependency-tree=" + tree.Path("/graph.dot")});
  EXPECT_EQ(file.status, 0);
  EXPECT_EQ(tree.Read("/graph.dot"), "digraph g {\n}\n");
  EXPECT_EQ(file.out.find("digraph"), std::string::npos);
  RunResult unwritable = tree.Run({"--dump-dependency-tree=" + tree.Path("/no/such/g.dot")});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.out.find("digraph"), std::string::npos);
  EXPECT_TRUE(tree.Exists("/var/lib/configstore/end-autoconf"));
}

// Boost's shared objects brought ICU, bzip2, lzma and zstd into every run,
// --help included, and loading them cost each run close to a millisecond.
TEST(BootRun, LoadsNoSharedLibraryThatNoStepNeeds) {
  std::unique_ptr<FILE, decltype(&pclose)> ldd(popen("ldd " KICKSTAND_BINARY, "r"), &pclose);
  ASSERT_TRUE(ldd);
  std::string loaded;
  char line[512];
  while (std::fgets(line, sizeof line, ldd.get()))
    loaded += line;
  ASSERT_NE(loaded.find("libc.so"), std::string::npos) << loaded;
  for (const char* unneeded : {"libboost", "libicu", "libbz2", "liblzma", "libzstd"})
    EXPECT_EQ(loaded.find(unneeded), std::string::npos) << unneeded << " in\n" << loaded;
}
