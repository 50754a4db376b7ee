#include "util/afstream.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

#include "support/MemoryFileSystem.h"
#include "support/ScratchRoot.h"

using kickstand::afstream;
using testing_support::MemoryFileSystem;

namespace {

std::string Error(const std::function<void()>& operation) {
  try { operation(); } catch (const std::runtime_error& e) { return e.what(); }
  return "no error";
}

mode_t Mode(kickstand::FileSystem& files, const std::string& path) {
  struct stat status {};
  files.Stat(path, &status);
  return status.st_mode & 07777;
}

// On the real files: a new destination is born 0600, a replaced one keeps
// its mode, and what was written but not committed vanishes.
TEST(AfstreamTest, CommitReplacesWithTheRightModeAndUncommittedWritesVanish) {
  kickstand::FileSystem& files = kickstand::FileSystem::System();
  const std::string path = testing_support::ScratchRoot() + "/var/log/afstream.log";
  afstream fresh, appended;
  fresh.open(path);
  fresh << "one\n";
  fresh.commit();
  EXPECT_EQ(0600u, Mode(files, path));
  files.Chmod(path, 0644);
  appended.open_append(path);
  appended << "two\n" << std::string(100000, 'o');
  appended.commit();
  EXPECT_EQ(0644u, Mode(files, path));
  afstream().open(path);
  EXPECT_EQ("one\ntwo\n" + std::string(100000, 'o'),
            testing_support::ReadScratchFile("/var/log/afstream.log"));
  EXPECT_EQ("unable to create temporary file to write '/no/log': No such file or directory",
            Error([] { afstream().open("/no/log"); }));
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

}  // namespace
