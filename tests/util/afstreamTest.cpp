#include "util/afstream.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <boost/filesystem.hpp>

#include "support/HostTree.h"
#include "support/MemoryFileSystem.h"

using kickstand::afstream;

namespace {

size_t FilesIn(const std::string& directory) {
  return std::distance(boost::filesystem::directory_iterator(directory), {});
}

std::string Error(const std::function<void()>& operation) {
  try { operation(); } catch (const std::runtime_error& e) { return e.what(); }
  return "no error";
}

TEST(AfstreamTest, CommitReplacesAtOnceWithTheRightModeAndUncommittedWritesVanish) {
  testing_support::HostTree tree;
  const std::string path = tree.Path("/var/log/sysboot.log");
  struct stat status {};
  afstream fresh, appended;
  fresh.open(path);
  fresh << "one\n";
  fresh.commit();
  EXPECT_TRUE(stat(path.c_str(), &status) == 0 && (status.st_mode & 07777) == 0600);
  chmod(path.c_str(), 0644);
  appended.open_append(path);
  appended << "two\n" << std::string(100000, 'o');
  appended.commit();
  EXPECT_TRUE(stat(path.c_str(), &status) == 0 && (status.st_mode & 07777) == 0644);
  const std::string complete = tree.Read("/var/log/sysboot.log");
  EXPECT_EQ("one\ntwo\n" + std::string(100000, 'o'), complete);

  afstream().open(path);
  EXPECT_EQ(1u, FilesIn(tree.Path("/var/log")));
  // A writer killed between open and commit leaves only its temporary file.
  pid_t writer = fork();
  if (writer == 0) {
    afstream out;
    out.open(path);
    out << std::string(200000, 'n') << std::flush;
    raise(SIGKILL);
  }
  waitpid(writer, nullptr, 0);
  EXPECT_EQ(2u, FilesIn(tree.Path("/var/log")));
  EXPECT_EQ(complete, tree.Read("/var/log/sysboot.log"));
}

TEST(AfstreamTest, FailuresThrowTheirMessages) {
  testing_support::HostTree tree;
  const std::string path = tree.Path("/var/log/sysboot.log"), none = tree.Path("/no/log");
  afstream missing, empty, never, twice, nowhere;
  EXPECT_EQ("failed to write to temp file: No such file or directory",
            Error([&] { missing.open_append(path); }));
  tree.Write("/var/log/sysboot.log", "");
  EXPECT_EQ(0u, Error([&] { empty.open_append(path); }).find("failed to write to temp file: "));
  EXPECT_EQ("commit invoked on an unknown destination", Error([&] { never.commit(); }));
  twice.open(path);
  twice.commit();
  std::string error = Error([&] { twice.commit(); });
  EXPECT_EQ(0u, error.find("unable to rename '" + path + ".")) << error;
  EXPECT_NE(std::string::npos, error.find("' to '" + path + "': No such file or directory"));
  EXPECT_EQ("unable to create temporary file to write '" + none + "': No such file or directory",
            Error([&] { nowhere.open(none); }));
}

// A power cut drops what was not synced: the data of a file not yet synced,
// and names not yet synced into their directory.
TEST(AfstreamTest, APowerCutAfterAnyStepLeavesTheOldFileOrTheNewOne) {
  testing_support::MemoryFileSystem files;
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

TEST(AfstreamTest, AFailedSyncKeepsTheOldFileAndRemovesTheNewOne) {
  testing_support::MemoryFileSystem files;
  files.Preserve("/log", "old");
  files.failures["fsync"] = EIO;
  {
    afstream out(files);
    out.open("/log");
    out << "new";
    EXPECT_EQ("unable to sync '/log.000000': Input/output error", Error([&] { out.commit(); }));
  }
  EXPECT_EQ("old", files.Content("/log"));
  EXPECT_EQ(1u, files.FileCount());
}

}  // namespace
