// The control protocol as a raw client sees it. The executor's server runs
// on threads of this process, so the InProcess suites never fork.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ScratchFiles.h"
#include "core/Clock.h"

using namespace executor_tests;

namespace {

std::string Status(int32_t value) { return std::string(reinterpret_cast<char*>(&value), 4); }

std::string ReadToEnd(int fd) {
  std::string text;
  char buffer[64];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  return text;
}

/// One connection's exchange as a worker has it: the request in one write
/// and a half-close (with leave, a client gone at once), then the reply.
std::string Served(const std::string& request, bool leave = false) {
  int ends[2];
  socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
  (void)!send(ends[0], request.data(), request.size(), MSG_NOSIGNAL);
  shutdown(ends[0], leave ? SHUT_RDWR : SHUT_WR);
  kickstand::TarncliExecutor::HandleControlConnection(ends[1]);
  close(ends[1]);
  std::string reply = ReadToEnd(ends[0]);
  close(ends[0]);
  return reply;
}

TEST(InProcessProtocol, RepliesWithANativeOrderStatusToEverythingButStop) {
  testing::internal::CaptureStderr();
  Served("", /*leave=*/true);  // logged; serving goes on
  const std::pair<std::string, std::string> cases[] = {
      {"", Status(0)}, {"   # nothing to run", Status(0)},
      {"network set --x='open", Status(1)}, {"no such command", Status(1)},
      {"stop", ""}, {"STOP", ""}, {"StOp", ""}, {"stopnow", ""},
      {" stop", Status(1)},  // a command named stop
      {std::string(1022, ' ') + "nosuch", Status(1)},
      {std::string(1023, ' ') + "nosuch", Status(0)},  // only 1023 bytes are read
      {"#" + std::string(1999, 'x'), Status(0)},
      {std::string("  \0nosuch", 9), Status(0)},  // the text ends at the first NUL
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.second, Served(c.first)) << '"' << c.first.substr(0, 30) << '"';
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(4, Count(log, "Kickstand executor signalled to stop\n"));
  EXPECT_EQ(1, Count(log, "Sending command status to kickstand failed\n"));
  EXPECT_EQ(1, Count(log, "Executor was unable to parse command: "
                          "unterminated single quote at column 17\n")) << log;
}

/// The executor's own server on threads of this process, on the control
/// socket of the scratch root; stopped by a stop request.
class InProcessServer : public testing::Test {
 protected:
  void SetUp() override {
    boost::filesystem::remove(Host(kSocket));  // whatever an earlier test left there
    executor_.OpenControlSocket();
    executor_.StartEventLoop();
  }
  void TearDown() override {
    // The executor sends no status to a stop request.
    EXPECT_EQ(0u, Thrown("Stop").find("Failed to recieve command status from Executor: "));
    executor_.AwaitStop();
    for (int fd : idle_)
      close(fd);
  }

  kickstand::TarncliExecutor& executor_ = *kickstand::TarncliExecutor::GetInstance();
  std::vector<int> idle_;  // clients that never send
};

TEST_F(InProcessServer, EveryConcurrentClientGetsItsOwnStatusAndItsOwnLogLine) {
  const std::string kFailed = "Executor failed executing tarncli command: ";
  std::atomic<int> wrong{0};
  testing::internal::CaptureStderr();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {  // every tenth fails, and as itself
        std::string line = (i % 10 ? "# " : "nosuch ") + std::to_string(t * 1000 + i);
        wrong += Thrown(line) != (i % 10 ? "" : kFailed + line);
      }
    });
  for (std::thread& thread : threads)
    thread.join();
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0, wrong.load());
  // Each failing command ran once, and its line came out whole.
  for (int t = 0; t < 8; ++t)
    for (int i = 0; i < 200; i += 10) {
      std::string line = "nosuch " + std::to_string(t * 1000 + i);
      EXPECT_EQ(1, Count(log, "execution of '" + line + "' failed : unknown command '" + line +
                                  "'\n")) << line;
    }
}

/// connect or bind fd at the control socket's path.
int AtSocket(int (*call)(int, const sockaddr*, socklen_t), int fd) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, Host(kSocket).c_str(), sizeof address.sun_path - 1);
  return call(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

TEST_F(InProcessServer, IdleClientsHoldUpNoCommand) {
  for (int i = 0; i < 200; ++i) {
    idle_.push_back(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_EQ(0, AtSocket(connect, idle_.back()));
  }
  // Given up, and said so, if it does not come back within a second.
  EXPECT_EQ("", Thrown("#", kickstand::Deadline(kickstand::Clock::System(), 1)));
}

/// Sends request in one write, half-closes and returns every byte sent back.
std::string RoundTrip(const std::string& request) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::string reply = "not connected";
  if (AtSocket(connect, fd) == 0) {
    (void)!send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    reply = ReadToEnd(fd);
  }
  close(fd);
  return reply;
}

// Forks a client that connects as another user, so not InProcess.
using ForeignPeer = InProcessServer;

TEST_F(ForeignPeer, IsClosedWithoutReplyAndLoggedWithItsUid) {
  if (geteuid() != 0)
    GTEST_SKIP() << "connecting as another user needs root";
  for (const char* path : {"", "/var", "/var/run", "/var/run/halvex", kSocket})
    chmod(Host(path).c_str(), 0777);
  testing::internal::CaptureStderr();
  pid_t child = fork();
  if (child == 0)
    _exit(setresgid(65534, 65534, 65534) == 0 && setresuid(65534, 65534, 65534) == 0 &&
                  RoundTrip("# hello").empty() ? 0 : 1);
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(Status(0), RoundTrip("#"));
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0, status);
  EXPECT_EQ(1, Count(log, "Refused an executor client of user 65534\n")) << log;
}

}  // namespace
