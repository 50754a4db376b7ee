#include "util/afstream.h"

#include <csignal>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem.hpp>

#include "support/HostTree.h"

using kickstand::afstream;

namespace {

class AfstreamTest : public testing::Test {
 protected:
  std::string Error(void (*operation)(afstream&, const std::string&), afstream& stream,
                    const std::string& path) {
    try {
      operation(stream, path);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "no error";
  }
  mode_t Mode() const {
    struct stat status {};
    stat(path.c_str(), &status);
    return status.st_mode & 07777;
  }

  testing_support::HostTree tree;
  std::string path = tree.Path("/var/log/sysboot.log");
};

void Write(afstream& out, const std::string& path, const char* text) {
  out.open(path);
  out << text;
}

void Open(afstream& out, const std::string& path) { out.open(path); }
void Append(afstream& out, const std::string& path) { out.open_append(path); }
void Commit(afstream& out, const std::string&) { out.commit(); }

TEST_F(AfstreamTest, CommitKeepsTheOldPermissionBitsOrTheNewFiles) {
  afstream fresh;
  Write(fresh, path, "one\n");
  fresh.commit();
  EXPECT_EQ(0600u, Mode());
  chmod(path.c_str(), 0644);
  afstream appended;
  appended.open_append(path);
  appended << "two\n";
  appended.commit();
  EXPECT_EQ("one\ntwo\n", tree.Read("/var/log/sysboot.log"));
  EXPECT_EQ(0644u, Mode());
}

TEST_F(AfstreamTest, UncommittedWritersLeaveThePreviousFileComplete) {
  tree.Write("/var/log/sysboot.log", std::string(100000, 'o'));
  {
    afstream destroyed;
    Write(destroyed, path, "half");
  }
  int ready[2];
  ASSERT_EQ(0, pipe(ready));
  pid_t killed = fork();
  if (killed == 0) {
    afstream out;
    Write(out, path, "n");
    out << std::string(200000, 'n') << std::flush;
    (void)!write(ready[1], "x", 1);
    pause();
  }
  char signal;
  ASSERT_EQ(1, read(ready[0], &signal, 1));
  kill(killed, SIGKILL);
  waitpid(killed, nullptr, 0);
  EXPECT_EQ(std::string(100000, 'o'), tree.Read("/var/log/sysboot.log"));
  // Only the killed writer's temporary file is left beside the log.
  std::vector<std::string> names;
  for (auto& entry : boost::filesystem::directory_iterator(tree.Path("/var/log")))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(2u, names.size());
}

TEST_F(AfstreamTest, FailuresThrowTheirMessages) {
  {
    afstream missing, empty;
    EXPECT_EQ("failed to write to temp file: No such file or directory",
              Error(Append, missing, path));
    tree.Write("/var/log/empty", "");
    EXPECT_EQ(0u, Error(Append, empty, tree.Path("/var/log/empty"))
                      .find("failed to write to temp file: "));
  }
  // The refused appends took their temporary files with them.
  EXPECT_EQ(1u, std::distance(boost::filesystem::directory_iterator(tree.Path("/var/log")), {}));
  afstream never, twice, nowhere;
  EXPECT_EQ("commit invoked on an unknown destination", Error(Commit, never, path));
  Open(twice, path);
  twice.commit();
  std::string error = Error(Commit, twice, path);
  EXPECT_EQ(0u, error.find("unable to rename '" + path + "."));
  EXPECT_TRUE(boost::algorithm::ends_with(error, "' to '" + path + "': No such file or directory"))
      << error;
  EXPECT_EQ("unable to create temporary file to write '" + tree.Path("/no/log") +
                "': No such file or directory",
            Error(Open, nowhere, tree.Path("/no/log")));
}

}  // namespace
