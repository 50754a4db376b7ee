// The control protocol as a raw client sees it, served in this process.
#include <atomic>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <gtest/gtest.h>

#include "ControlSocketServer.h"
#include "ProcessRoot.h"
#include "executor/TarncliExecutor.h"
#include "util/Exception.h"

using executor_tests::ConnectAndLeave;
using executor_tests::ControlSocketServer;
using executor_tests::Occurrences;
using executor_tests::RoundTrip;

namespace {

std::string Status(int32_t value) { return std::string(reinterpret_cast<char*>(&value), 4); }

class InProcessProtocol : public testing::Test {
 protected:
  ControlSocketServer server_;
};

TEST_F(InProcessProtocol, RepliesWithFourByteNativeOrderStatus) {
  EXPECT_EQ(Status(0), RoundTrip(""));
  EXPECT_EQ(Status(0), RoundTrip("   # nothing to run"));
  EXPECT_EQ(Status(1), RoundTrip("network set --x='open"));
  EXPECT_EQ(Status(1), RoundTrip("no such command"));
}

TEST_F(InProcessProtocol, StopRequestsGetNoReply) {
  testing::internal::CaptureStderr();
  for (const char* request : {"stop", "STOP", "StOp", "stopnow"})
    EXPECT_EQ("", RoundTrip(request)) << request;
  EXPECT_EQ(Status(1), RoundTrip(" stop"));  // a command named stop
  EXPECT_EQ(4, Occurrences(testing::internal::GetCapturedStderr(),
                           "Kickstand executor signalled to stop"));
}

TEST_F(InProcessProtocol, ReadsAtMost1023Bytes) {
  EXPECT_EQ(Status(1), RoundTrip(std::string(1022, ' ') + "nosuch"));
  EXPECT_EQ(Status(0), RoundTrip(std::string(1023, ' ') + "nosuch"));
  EXPECT_EQ(Status(0), RoundTrip("#" + std::string(1999, 'x')));
}

TEST_F(InProcessProtocol, TextEndsAtTheFirstNul) {
  EXPECT_EQ(Status(1), RoundTrip("  nosuch"));
  EXPECT_EQ(Status(0), RoundTrip(std::string("  \0nosuch", 9)));
}

TEST_F(InProcessProtocol, ClientThatLeavesWithoutSendingIsLoggedAndServingGoesOn) {
  testing::internal::CaptureStderr();
  ConnectAndLeave();
  EXPECT_EQ(Status(0), RoundTrip("#"));  // handled strictly after the first
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                   "Sending command status to kickstand failed"));
}

TEST_F(InProcessProtocol, EveryConcurrentClientGetsItsOwnStatus) {
  const int kThreads = 8, kCommands = 200;
  std::atomic<int> succeeded{0}, failedAsTheirOwn{0};
  testing::internal::CaptureStderr();  // the failing commands log
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCommands; ++i) {
        std::string id = std::to_string(t) + " " + std::to_string(i);
        std::string line = i % 10 ? "# " + id : "nosuch " + id;
        try {
          kickstand::TarncliExecutor::GetInstance()->Execute(line);
          ++succeeded;
        } catch (const kickstand::Exception& e) {
          failedAsTheirOwn += e.what() == "Executor failed executing tarncli command: " + line;
        }
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(kThreads * kCommands * 9 / 10, succeeded.load());
  EXPECT_EQ(kThreads * kCommands / 10, failedAsTheirOwn.load());
}

// Forks a client that connects as another user; needs root.
TEST(ForeignPeer, IsClosedWithoutReplyAndLoggedWithItsUid) {
  if (geteuid() != 0)
    GTEST_SKIP() << "connecting as another user needs root";
  for (const char* dir : {"", "/var", "/var/run", "/var/run/halvex"})
    chmod(executor_tests::RootPath(dir).c_str(), 0755);
  ControlSocketServer server(0666);
  testing::internal::CaptureStderr();
  pid_t child = fork();
  if (child == 0) {
    if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
      _exit(2);
    try {
      _exit(RoundTrip("# hello").empty() ? 0 : 1);
    } catch (...) {
      _exit(3);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(Status(0), RoundTrip("#"));  // serialises with the refused one
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(std::string::npos, log.find("Refused an executor client of user 65534")) << log;
}

}  // namespace
