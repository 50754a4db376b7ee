#include "support/TerminalRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(int seconds) { return Clock::now() + std::chrono::seconds(seconds); }

int MillisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<long long>(0, left.count()));
}

}  // namespace

TerminalRun::TerminalRun(const HostTree& tree, const std::vector<std::string>& args) {
  int slave = -1;
  if (openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  // The output then holds exactly the bytes the program wrote.
  termios modes;
  tcgetattr(slave, &modes);
  modes.c_oflag &= ~ONLCR;
  tcsetattr(slave, TCSANOW, &modes);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  child_ = tree.Start(args, slave);
  close(slave);
}

TerminalRun::~TerminalRun() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
  close(master_);
}

ssize_t TerminalRun::ReadSome(int timeoutMs) {
  pollfd fd{master_, POLLIN, 0};
  if (poll(&fd, 1, timeoutMs) <= 0)
    return 0;
  char buffer[4096];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n > 0)
    output_.append(buffer, static_cast<size_t>(n));
  if (n < 0 && errno == EINTR)
    return 0;
  // EIO: every holder of the terminal's other side has gone.
  return n > 0 ? n : -1;
}

bool TerminalRun::WaitFor(const std::string& text, int timeoutSeconds) {
  auto deadline = Deadline(timeoutSeconds);
  for (;;) {
    size_t found = output_.find(text, matched_);
    if (found != std::string::npos) {
      matched_ = found + text.size();
      return true;
    }
    if (Clock::now() >= deadline || ReadSome(MillisecondsUntil(deadline)) < 0)
      return false;
  }
}

bool TerminalRun::WaitForEchoOff(int timeoutSeconds) {
  auto deadline = Deadline(timeoutSeconds);
  termios modes;
  while (tcgetattr(master_, &modes) == 0 && (modes.c_lflag & ECHO)) {
    if (Clock::now() >= deadline)
      return false;
    ReadSome(10);
  }
  return true;
}

void TerminalRun::Type(const std::string& keys) {
  if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
    throw std::runtime_error("typing on the terminal failed");
}

RunResult TerminalRun::Finish(int timeoutSeconds) {
  auto deadline = Deadline(timeoutSeconds);
  RunResult result;
  int status = 0;
  while (waitpid(child_, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      result.timedOut = true;
      kill(child_, SIGKILL);
      waitpid(child_, &status, 0);
      break;
    }
    ReadSome(100);
  }
  child_ = -1;
  while (ReadSome(0) > 0) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = output_;
  return result;
}

}  // namespace testing_support
