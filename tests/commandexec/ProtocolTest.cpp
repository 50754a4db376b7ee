// The control protocol as a raw client sees it. A thread of this process
// serves the socket, so the InProcess suites never fork.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ScratchFiles.h"

using namespace executor_tests;

namespace {

std::string Status(int32_t value) { return std::string(reinterpret_cast<char*>(&value), 4); }

/// connect or bind fd at the control socket's path.
int AtSocket(int (*call)(int, const sockaddr*, socklen_t), int fd) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, Host(kSocket).c_str(), sizeof address.sun_path - 1);
  return call(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

/// Sends request in one write, half-closes and returns every byte sent back;
/// with leave, closes right after connecting.
std::string RoundTrip(const std::string& request, bool leave = false) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::string reply;
  if (AtSocket(connect, fd) != 0)
    reply = "not connected";
  else if (!leave) {
    (void)!send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    shutdown(fd, SHUT_WR);
    char buffer[64];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
      reply.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return reply;
}

/// Serves as the executor's event loop does, but stops on a flag of its own
/// rather than on a stop request, which the tests send on purpose. Polling
/// first means no accept is left blocked when the flag is set.
class InProcessProtocol : public testing::Test {
 protected:
  void SetUp() override {
    boost::filesystem::create_directories(Host("/var/run/halvex"));
    unlink(Host(kSocket).c_str());
    ASSERT_EQ(0, AtSocket(bind, listener_));
    ASSERT_EQ(0, listen(listener_, 16));
    server_ = std::thread([this] {
      for (pollfd listener{listener_, POLLIN, 0}; !done_;)
        if (poll(&listener, 1, 10) > 0)
          kickstand::TarncliExecutor::HandleControlConnection(&listener_);
    });
  }
  void TearDown() override {
    done_ = true;
    if (server_.joinable())
      server_.join();
    close(listener_);
  }

  int listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::atomic<bool> done_{false};
  std::thread server_;
};

TEST_F(InProcessProtocol, RepliesWithANativeOrderStatusToEverythingButStop) {
  testing::internal::CaptureStderr();
  RoundTrip("", /*leave=*/true);  // logged; serving goes on
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
    EXPECT_EQ(c.second, RoundTrip(c.first)) << '"' << c.first.substr(0, 30) << '"';
  EXPECT_EQ(0u, Thrown("Stop").find("Failed to recieve command status from Executor: "));
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(5, Count(log, "Kickstand executor signalled to stop\n"));
  EXPECT_EQ(1, Count(log, "Sending command status to kickstand failed\n"));
  EXPECT_EQ(1, Count(log, "Executor was unable to parse command: "
                          "unterminated single quote at column 17\n")) << log;
}

TEST_F(InProcessProtocol, EveryConcurrentClientGetsItsOwnStatus) {
  const std::string kFailed = "Executor failed executing tarncli command: ";
  std::atomic<int> wrong{0};
  testing::internal::CaptureStderr();  // the failing commands log
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
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(0, wrong.load());
}

// Forks a client that connects as another user, so not InProcess.
using ForeignPeer = InProcessProtocol;

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
  EXPECT_EQ(Status(0), RoundTrip("#"));  // served strictly after the refused one
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(0, status);
  EXPECT_EQ(1, Count(log, "Refused an executor client of user 65534\n")) << log;
}

}  // namespace
