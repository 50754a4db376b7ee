#include <gtest/gtest.h>
#include <zlib.h>

#include "PluginFiles.h"
#include "support/HostTree.h"

namespace {

using namespace plugin_files;
using testing_support::HostTree;
using testing_support::RunResult;
using Lines = std::vector<std::string>;

const char kRecord[] = "/bootbank/kickstnd.gz";

std::string Decompressed(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file)
    return "<missing>";
  std::string text;
  char buffer[256];
  for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  gzclose(file);
  return text;
}

void WriteCompressed(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
}

std::string RunOnceJson(const std::string& version) {
  return Json(3, "[]", "[]", "[\"test record --text=ran\"]",
              ", \"run_once\": true, \"plugin_version\": \"" + version + "\"");
}

TEST(RunOnceTest, RecordsEveryAcceptedRunOncePluginSanitised) {
  HostTree tree;
  InstallRecordCommand(tree);
  WritePlugin(tree, "once.json", RunOnceJson("1.0"));
  WritePlugin(tree, "we ird.json", RunOnceJson("2/0"));
  WriteCompressed(tree.Path(kRecord), "kickstand.run-once=old,\n");
  RunResult run = tree.Run({"--run-once= lead"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_EQ("kickstand.run-once= lead,once1.0,weird20,\n", Decompressed(tree.Path(kRecord)));
  EXPECT_EQ((Lines{"ran", "ran"}), tree.ReadLines("/var/log/order.log"));
}

TEST(RunOnceTest, InvokeRunsSkipRecordedPlugins) {
  HostTree tree;
  InstallRecordCommand(tree);
  InstallNative(tree, NATIVE_PLUGIN_V3, "libalpha.so");
  WritePlugin(tree, "once.json", RunOnceJson("1.0"));
  WriteCompressed(tree.Path(kRecord), "kickstand.run-once=alpha1.0,\n");
  RunResult run = tree.Run({"--invoke", "--method=start", "--plugin=libalpha.so,once.json",
                            "--plugin-flags=needed"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_TRUE(run.Logged(
      "info: ignoring plugin 'alpha' because version '1.0'  has already been run.")) << run.out;
  EXPECT_EQ(Lines{"ran"}, tree.ReadLines("/var/log/order.log"));
  EXPECT_EQ("kickstand.run-once=alpha1.0,once1.0,\n", Decompressed(tree.Path(kRecord)));
}

TEST(RunOnceTest, InvokeRunsReadWhatTheRecordHolds) {
  struct Case {
    std::string stored;  // compressed unless it is "raw:" text; none when empty
    std::string rewritten;
  };
  const Case cases[] = {
      {"kickstand.run-once= x ,,y,\n", "kickstand.run-once=x,y,\n"},
      {"kickstand.run-twice=x,\n", "kickstand.run-once=\n"},
      {"kickstand.run-once", "kickstand.run-once=\n"},
      {"raw:kickstand.run-once=x,", "kickstand.run-once=\n"},
      {"", "kickstand.run-once=\n"},
  };
  for (const Case& c : cases) {
    HostTree tree;
    if (c.stored.compare(0, 4, "raw:") == 0)
      tree.Write(kRecord, c.stored.substr(4));
    else if (!c.stored.empty())
      WriteCompressed(tree.Path(kRecord), c.stored);
    RunResult run = tree.Run({"--invoke", "--method=start", "--plugin=none.txt"});
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ(c.rewritten, Decompressed(tree.Path(kRecord))) << c.stored;
  }
}

TEST(RunOnceTest, AMissingBootbankFailsTheRun) {
  HostTree tree;
  boost::filesystem::remove(tree.Path("/bootbank"));
  RunResult run = tree.Run({});
  EXPECT_EQ(1, run.status);
  EXPECT_TRUE(run.Logged("error: unhandled exception whilst enumerating plugins.")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("unable to create temporary file to write '" +
                                            tree.Path(kRecord) + "': No such file or directory"));
  EXPECT_FALSE(tree.Exists("/bootbank"));
}

}  // namespace
