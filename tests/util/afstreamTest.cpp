#include "util/afstream.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <boost/filesystem.hpp>

#include "support/MemoryFileSystem.h"
#include "support/ScratchRoot.h"
#include "util/Interruption.h"

using kickstand::afstream;
using testing_support::MemoryFileSystem;

namespace {

std::string Error(const std::function<void()>& operation) {
  try { operation(); } catch (const std::runtime_error& e) { return e.what(); }
  return "no error";
}

// On the real files: a new destination is born 0600, a replaced one keeps
// its mode, and what was written but not committed vanishes.
TEST(AfstreamTest, CommitReplacesWithTheRightModeAndUncommittedWritesVanish) {
  namespace fs = boost::filesystem;
  const std::string path = testing_support::ScratchRoot() + "/var/log/afstream.log";
  afstream fresh, appended;
  fresh.open(path);
  fresh << "one\n";
  fresh.commit();
  EXPECT_EQ(0600, int(fs::status(path).permissions()));
  chmod(path.c_str(), 0644);
  appended.open_append(path);
  appended << "two\n" << std::string(100000, 'o');
  appended.commit();
  EXPECT_EQ(0644, int(fs::status(path).permissions()));
  afstream().open(path);
  EXPECT_EQ("one\ntwo\n" + std::string(100000, 'o'),
            testing_support::ReadScratchFile("/var/log/afstream.log"));
}

TEST(AfstreamTest, FailuresThrowTheirMessagesAndLeaveNoTemporaryFile) {
  MemoryFileSystem files;
  {
    afstream missing(files), empty(files), never(files), twice(files), unwritten(files),
        unsynced(files);
    EXPECT_EQ("failed to write to temp file: No such file or directory",
              Error([&] { missing.open_append("/log"); }));
    files.Preserve("/log", "");
    EXPECT_EQ(0u, Error([&] { empty.open_append("/log"); }).find("failed to write to temp file: "));
    EXPECT_EQ("commit invoked on an unknown destination", Error([&] { never.commit(); }));
    twice.open("/log");
    twice << "old";
    twice.commit();
    EXPECT_EQ("unable to rename '/log.000002' to '/log': No such file or directory",
              Error([&] { twice.commit(); }));
    files.failures["write"] = ENOSPC;
    unwritten.open("/log");
    unwritten << "new" << std::flush;
    EXPECT_EQ("unable to write '/log': No space left on device",
              Error([&] { unwritten.commit(); }));
    files.failures = {{"fsync", EIO}};
    unsynced.open("/log");
    unsynced << "new";
    EXPECT_EQ("unable to sync '/log.000004': Input/output error",
              Error([&] { unsynced.commit(); }));
  }
  EXPECT_EQ("old", files.Content("/log"));
  EXPECT_EQ(1u, files.FileCount());
}

// A power cut drops what was not synced: the data of a file not yet synced,
// and names not yet synced into their directory.
TEST(AfstreamTest, APowerCutAfterAnyStepLeavesTheOldFileOrTheNewOne) {
  MemoryFileSystem files;
  const std::string path = "/var/log/sysboot.log", before = "old\n";
  const std::string after = "new\n" + std::string(20000, 'n');
  files.Preserve(path, before);
  std::vector<std::string> torn;
  files.afterChange = [&](const std::string& operation) {
    std::string kept = files.AfterPowerCut(path).value_or("<missing>");
    if (kept != before && kept != after)
      torn.push_back(operation + " leaves " + kept.substr(0, 10));
  };
  afstream out(files);
  out.open(path);
  out << after;
  out.commit();
  EXPECT_EQ(std::vector<std::string>{}, torn);
  EXPECT_EQ(after, files.AfterPowerCut(path));
}

// A signal that comes while a file is replaced abandons it, whether it is
// written or copied: the old file stays and no temporary file is left. A
// replacement begun after the signal is written.
TEST(AfstreamTest, ASignalDuringAReplacementLeavesTheOldFileAndNoTemporaryFile) {
  for (bool append : {false, true}) {
    MemoryFileSystem files;
    files.Preserve("/log", std::string(100000, 'o'));
    kickstand::Interruption interruption;
    int writes = 0;  // the writing stops at once
    files.afterChange = [&](const std::string& operation) {
      writes += operation == "write";
      interruption.Interrupt(SIGTERM);
    };
    EXPECT_EQ("interrupted by SIGTERM", Error([&] {
      afstream log(files, {&interruption, nullptr});
      append ? log.open_append("/log") : log.open("/log");
      log << std::string(100000, 'n');
      log.commit();
    }));
    EXPECT_EQ(std::string(100000, 'o'), files.Content("/log"));
    EXPECT_EQ(1u, files.FileCount());
    EXPECT_EQ(1, writes);
    afstream after(files, {&interruption, nullptr});
    after.open("/log");
    after << "new";
    after.commit();
    EXPECT_EQ("new", files.Content("/log"));
  }
}

// Only the destination's own name, a dot and six letters or digits; the
// replacement's directory is the final target's when it is a link.
TEST(AfstreamTest, LeftTemporaryFilesAreClearedAndLinksFollowed) {
  MemoryFileSystem files;
  for (const char* name : {"/d/log.a1B2c3", "/d/log.ZZ9999", "/d/log.a1B2c", "/d/log.a1B2c3d",
                           "/d/log.a1-2c3", "/d/other.a1B2c3"})
    files.Preserve(name, "left");
  std::vector<std::string> cleared;
  afstream log(files, {nullptr, [&](const std::string& path) { cleared.push_back(path); }});
  log.open("/d/log");
  EXPECT_EQ((std::vector<std::string>{"/d/log.ZZ9999", "/d/log.a1B2c3"}), cleared);
  EXPECT_EQ(5u, files.FileCount());  // four kept, and its own

  namespace fs = boost::filesystem;
  const std::string root = testing_support::ScratchRoot() + "/links/";
  testing_support::WriteScratchFile("/links/real/target", "old");
  fs::create_symlink("real/target", root + "relative");
  fs::create_symlink(root + "relative", root + "absolute");
  afstream linked;
  linked.open(root + "absolute");
  linked << "new";
  linked.commit();
  EXPECT_TRUE(fs::is_symlink(root + "relative") && fs::is_symlink(root + "absolute"));
  EXPECT_EQ("new", testing_support::ReadScratchFile("/links/real/target"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(root + "real"), {}));
}

}  // namespace
