// The client starting, restarting and stopping real executor processes
// forked from this test process, and the executor as build/kickstand runs it.
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ScratchFiles.h"
#include "support/HostTree.h"

using namespace executor_tests;
using testing_support::HostTree;
using testing_support::RunResult;

namespace {

const char kLog[] = "/var/log/kickstand-tarncli-stdout.log";

std::string MarkDescription(const std::string& root) {
  return R"({"path": ["mark"], "program": ")" + root +
         R"(/bin/mark", "parameters": [{"name": "note", "required": true}]})";
}

// Described before anything in this process builds the command dispatcher,
// which every executor forked from it inherits. "hold --n=N" marks that it
// runs, then waits, 5 s at most, for /go.
[[maybe_unused]] const bool markDescribed =
    (WriteScratchFile("/usr/lib/halvex/tarncli/mark.json", MarkDescription(Host(""))),
     WriteScratchFile("/bin/mark", "#!/bin/sh\necho \"$@\" >> " + Host("/marks") + "\n", 0755),
     WriteScratchFile("/usr/lib/halvex/tarncli/hold.json", R"({"path": ["hold"], "program": ")" +
                      Host("/bin/hold") + R"(", "parameters": [{"name": "n"}]})"),
     WriteScratchFile("/bin/hold", "#!/bin/sh\necho held > " + Host("/held") + "${1#--n=}\nfor i in "
                      "$(seq 50); do [ -e " + Host("/go") + " ] && exit 0; sleep 0.1; done\nexit 1\n",
                      0755), true);

/// The executors still running: the daemonised ones are re-parented to this
/// process, a subreaper while an ExecutorProcess test runs.
std::vector<pid_t> Executors() {
  std::vector<pid_t> pids;
  for (const auto& entry : boost::filesystem::directory_iterator("/proc")) {
    std::ifstream file((entry.path() / "status").string());
    std::string status(std::istreambuf_iterator<char>(file), {});
    if (Count(status, "\nPPid:\t" + std::to_string(getpid()) + "\n"))
      pids.push_back(std::stoi(entry.path().filename().string()));
  }
  return pids;
}

/// Whether done() holds within a loose bound.
template <typename Done>
bool Becomes(Done done) {
  for (int wait = 0; wait < 1000; ++wait, usleep(10000))
    if (done())
      return true;
  return false;
}

/// Whether pid ends within a loose bound.
bool Ends(pid_t pid) {
  return Becomes([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; });
}

class ExecutorProcess : public testing::Test {
 protected:
  void SetUp() override {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    // The executor makes the socket's directory itself.
    for (const char* path : {"/var/run/halvex", kLog, "/marks", "/held1", "/held2", "/go"})
      boost::filesystem::remove_all(Host(path));
  }
  // Ends every executor, passing or failing, and reaps it.
  void TearDown() override {
    for (pid_t pid : Executors()) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
  }
  kickstand::TarncliExecutor& executor_ = *kickstand::TarncliExecutor::GetInstance();
};

// A killed executor leaves its socket file behind with nothing listening;
// the next command starts another.
TEST_F(ExecutorProcess, FirstCommandStartsItBehindAnOwnerOnlySocketAKilledOneIsReplaced) {
  testing::internal::CaptureStderr();
  executor_.Execute("mark --note=one");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, Count(log, "Failed connecting to executor No such file or directory\n"));
  EXPECT_EQ(1, Count(log, "Setting up Executor - Reset Requested\n"));
  EXPECT_EQ(0600, int(boost::filesystem::status(Host(kSocket)).permissions()));
  std::vector<pid_t> first = Executors();
  ASSERT_EQ(1u, first.size());
  executor_.Start();  // finds it listening
  EXPECT_EQ(first, Executors());
  kill(first[0], SIGKILL);
  waitpid(first[0], nullptr, 0);
  testing::internal::CaptureStderr();
  executor_.Execute("mark --note=two");
  EXPECT_EQ(1, Count(testing::internal::GetCapturedStderr(),
                     "Failed connecting to executor Connection refused\n"));
  EXPECT_EQ("--note=one\n--note=two\n", ReadScratchFile("/marks"));
  std::vector<pid_t> running = Executors();
  ASSERT_EQ(1u, running.size());
  testing::internal::CaptureStderr();
  executor_.Stop();
  EXPECT_TRUE(Ends(running[0]));
  executor_.Stop();
  EXPECT_EQ("Executor has been Successfully Stopped\nExecutor already gone.\n",
            testing::internal::GetCapturedStderr());
  log = ReadScratchFile(kLog);
  EXPECT_EQ(2, Count(log, "Executor Reset - polling for commands\n"));
  EXPECT_EQ(1, Count(log, "Kickstand executor signalled to stop\n"));
}

// Commands run at the same time; a stop request lets those running finish
// and reply, then the executor ends and leaves nothing running.
TEST_F(ExecutorProcess, StopServesTheCommandsAlreadyRunningThenEnds) {
  executor_.Start();
  std::vector<pid_t> running = Executors();
  std::string thrown[2] = {"not yet", "not yet"};
  std::thread clients[] = {std::thread([&] { thrown[0] = Thrown("hold --n=1"); }),
                           std::thread([&] { thrown[1] = Thrown("hold --n=2"); })};
  ASSERT_TRUE(Becomes([] { return Count(ReadScratchFile("/held1") + ReadScratchFile("/held2"),
                                         "held") == 2; }));
  std::thread stop([&] { executor_.Stop(); });
  Becomes([] { return Count(ReadScratchFile(kLog), "signalled to stop") > 0; });
  WriteScratchFile("/go", "");
  for (std::thread* thread : {&clients[0], &clients[1], &stop})
    thread->join();
  EXPECT_EQ("", thrown[0] + thrown[1]);
  ASSERT_EQ(1u, running.size());
  EXPECT_TRUE(Ends(running[0]));
  EXPECT_EQ(std::vector<pid_t>{}, Executors());  // the commands' programs too
}

// A stale socket file is replaced (see the restart above), anything else at
// its path is left alone.
TEST_F(ExecutorProcess, GivesUpAfterTenFailedRestarts) {
  WriteScratchFile(kSocket, "not a socket");
  testing::internal::CaptureStderr();
  EXPECT_EQ("Could not connect to Executor:Connection refused", Thrown("mark --note=one"));
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(10, Count(log, "Failed connecting to executor Connection refused\n"));
  EXPECT_EQ(10, Count(log, "Resetting Executor failed, retrying: "
                           "Kickstand executor failed to start\n"));
  EXPECT_EQ(10, Count(ReadScratchFile(kLog), "Unable to start executor: Failed to bind to "
                                  "executor control socket: Address already in use\n"));
  EXPECT_EQ("not a socket", ReadScratchFile(kSocket));
}

// A run that cannot start the executor ends at once; one that can runs its
// plugins' commands there and stops it.
TEST(KickstandRun, NeedsTheExecutorAndRunsPluginCommandsInIt) {
  HostTree tree;
  tree.Write("/usr/libexec/kickstand/plugins/m.json",
             R"({"metadata": {"version": 1, "requires": [], "provides": ["m"]},
                 "operations": {"start": ["mark --note=\"from plugin\"", "mark"]}})");
  tree.Write("/usr/lib/halvex/tarncli/mark.json", MarkDescription(tree.Root()));
  tree.WriteScript("/bin/mark", "echo \"$@\" >> " + tree.Path("/marks"));
  boost::filesystem::remove_all(tree.Path("/var/run/halvex"));
  tree.Write("/var/run/halvex", "a file where the socket directory belongs");
  RunResult result = tree.Run({});
  EXPECT_EQ(1, result.status);  // at once, without running any plugin
  EXPECT_TRUE(result.Logged("warning: Failed to start executor Kickstand executor failed to start"))
      << result.out;
  EXPECT_FALSE(tree.Exists("/marks"));

  boost::filesystem::remove(tree.Path("/var/run/halvex"));
  result = tree.Run({});
  EXPECT_EQ("--note=from plugin\n", tree.Read("/marks"));
  for (const char* line : {"error: Executor failed executing tarncli command: mark",
                           "info: Executor has been Successfully Stopped"})
    EXPECT_TRUE(result.Logged(line)) << line << " in\n" << result.out;
  RunResult executor{0, false, tree.Read(kLog), ""};
  EXPECT_TRUE(executor.Logged("error: execution of 'mark' failed : command 'mark' needs the "
                              "parameter --note")) << executor.out;
  // Found by name from outside the running program.
  EXPECT_EQ(0, system("nm -D --defined-only " KICKSTAND_BINARY
                      " | grep -q ' D __tarnclic_magic$'"));
}

}  // namespace
