// The client starting, restarting and stopping real executor processes,
// forked from this test process.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "ProcessRoot.h"
#include "executor/TarncliExecutor.h"
#include "util/Exception.h"

using executor_tests::Occurrences;
using executor_tests::ReadFile;
using executor_tests::RootPath;
using executor_tests::SocketListeners;
using kickstand::TarncliExecutor;

namespace {

const char kSocket[] = "/var/run/halvex/kickstandExecutor.sock";
const char kLog[] = "/var/log/kickstand-tarncli-stdout.log";

std::string Socket() { return RootPath(kSocket); }

/// Leaves a socket file that refuses connections, as a killed executor does.
void LeaveStaleSocket() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
  close(fd);
}

std::string Thrown(const std::string& commandLine) {
  try {
    TarncliExecutor::GetInstance()->Execute(commandLine);
  } catch (const kickstand::Exception& e) {
    return e.what();
  }
  return "";
}

class ExecutorProcess : public testing::Test {
 protected:
  void SetUp() override {
    executor_tests::KillExecutors();
    boost::filesystem::remove_all(RootPath("/var/run/halvex"));  // the executor makes it
    boost::filesystem::remove(RootPath(kLog));
    boost::filesystem::create_directories(RootPath("/var/log"));  // as kickstand's start-up does
    boost::filesystem::remove(RootPath("/marks"));
    executor_tests::WriteFile("/usr/lib/halvex/tarncli/mark.json",
                              R"({"path": ["mark"], "program": ")" + RootPath("/bin/mark") +
                                  R"(", "parameters": [{"name": "note", "required": true}]})");
    executor_tests::WriteFile("/bin/mark", "#!/bin/sh\necho \"$@\" >> " + RootPath("/marks") + "\n",
                              0755);
  }
  void TearDown() override { executor_tests::KillExecutors(); }

  TarncliExecutor& executor_ = *TarncliExecutor::GetInstance();
};

TEST_F(ExecutorProcess, FirstCommandStartsItBehindAnOwnerOnlySocket) {
  testing::internal::CaptureStderr();
  executor_.Execute("mark --note=one");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, Occurrences(log, "Failed connecting to executor No such file or directory\n"));
  EXPECT_EQ(1, Occurrences(log, "Setting up Executor - Reset Requested\n"));
  EXPECT_EQ("--note=one\n", ReadFile("/marks"));
  struct stat info;
  ASSERT_EQ(0, stat(Socket().c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 07777);
  EXPECT_EQ(1u, SocketListeners(Socket()).size());
  EXPECT_EQ(1, Occurrences(ReadFile(kLog), "Executor Reset - polling for commands\n"));
}

TEST_F(ExecutorProcess, KilledExecutorIsRestartedAndTheCommandRunsOnce) {
  executor_.Execute("mark --note=one");
  std::vector<pid_t> first = SocketListeners(Socket());
  ASSERT_EQ(1u, first.size());
  kill(first[0], SIGKILL);
  ASSERT_TRUE(executor_tests::NoListenerWithin(Socket()));
  testing::internal::CaptureStderr();
  executor_.Execute("mark --note=two");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(1, Occurrences(log, "Failed connecting to executor Connection refused\n"));
  EXPECT_EQ("--note=one\n--note=two\n", ReadFile("/marks"));
  std::vector<pid_t> second = SocketListeners(Socket());
  ASSERT_EQ(1u, second.size());
  EXPECT_NE(first[0], second[0]);
}

TEST_F(ExecutorProcess, GivesUpAfterTenFailedRestarts) {
  executor_tests::WriteFile("/var/run/halvex", "a file where the socket directory belongs");
  testing::internal::CaptureStderr();
  std::string thrown = Thrown("mark --note=one");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ("Could not connect to Executor:Not a directory", thrown);
  EXPECT_EQ(10, Occurrences(log, "Failed connecting to executor Not a directory\n"));
  EXPECT_EQ(10, Occurrences(log, "Resetting Executor failed, retrying: "
                                 "Kickstand executor failed to start\n"));
  EXPECT_EQ(10, Occurrences(ReadFile(kLog), "Unable to start executor: Failed to bind to "
                                            "executor control socket: Not a directory\n"));
  EXPECT_EQ("", ReadFile("/marks"));
}

TEST_F(ExecutorProcess, StaleSocketFileIsReplaced) {
  boost::filesystem::create_directories(RootPath("/var/run/halvex"));
  LeaveStaleSocket();
  executor_.Start();
  executor_.Execute("mark --note=one");
  EXPECT_EQ("--note=one\n", ReadFile("/marks"));
}

TEST_F(ExecutorProcess, AnythingElseAtTheSocketPathIsLeftAlone) {
  executor_tests::WriteFile(kSocket, "not a socket");
  try {
    executor_.Start();
    FAIL() << "started";
  } catch (const kickstand::Exception& e) {
    EXPECT_STREQ("Kickstand executor failed to start", e.what());
  }
  EXPECT_EQ("not a socket", ReadFile(kSocket));
  EXPECT_EQ(1, Occurrences(ReadFile(kLog), "Unable to start executor: Failed to bind to "
                                           "executor control socket: Address already in use\n"));
}

TEST_F(ExecutorProcess, StartLeavesARunningExecutorAlone) {
  executor_.Start();
  std::vector<pid_t> running = SocketListeners(Socket());
  testing::internal::CaptureStderr();
  executor_.Start();
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  executor_.Execute("# handled after the probe");
  EXPECT_EQ(running, SocketListeners(Socket()));
  EXPECT_EQ(1, Occurrences(ReadFile(kLog), "Sending command status to kickstand failed\n"));
}

TEST_F(ExecutorProcess, StopEndsItAndASecondStopFindsItGone) {
  executor_.Start();
  testing::internal::CaptureStderr();
  executor_.Stop();
  ASSERT_TRUE(executor_tests::NoListenerWithin(Socket()));
  executor_.Stop();
  EXPECT_EQ("Executor has been Successfully Stopped\nExecutor already gone.\n",
            testing::internal::GetCapturedStderr());
  EXPECT_EQ(1, Occurrences(ReadFile(kLog), "Kickstand executor signalled to stop\n"));
}

TEST_F(ExecutorProcess, FailuresReachTheCallerAndTheExecutorLog) {
  executor_.Start();
  EXPECT_EQ("Executor failed executing tarncli command: mark", Thrown("mark"));
  EXPECT_EQ("Executor failed executing tarncli command: mark 'open", Thrown("mark 'open"));
  EXPECT_EQ(0u, Thrown("Stop").find("Failed to recieve command status from Executor: "));
  std::string log = ReadFile(kLog);
  EXPECT_EQ(1, Occurrences(log, "execution of 'mark' failed : command 'mark' needs the "
                                "parameter --note\n"));
  EXPECT_EQ(1, Occurrences(log, "Executor was unable to parse command: unterminated single "
                                "quote at column 6\n"));
}

}  // namespace
