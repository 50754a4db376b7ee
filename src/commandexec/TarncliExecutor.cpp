#include "commandexec/TarncliExecutor.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "commandexec/ControlProtocol.h"
#include "platform/Log.h"
#include "platform/Spawner.h"
#include "util/Exception.h"
#include "util/GlobalLock.h"

// The client side: runs in kickstand's own process.
namespace kickstand {
namespace {

const int kConnectionAttempts = 10;

std::string SystemError(int error) { return strerror(error); }

void SendRequest(int fd, const std::string& commandLine) {
  if (control::Send(fd, commandLine.data(), commandLine.size()) < 0) {
    int error = errno;
    close(fd);
    throw Exception("Failed sending command to executor: " + SystemError(error));
  }
  shutdown(fd, SHUT_WR);  // ends the request, so an empty line does not leave both sides waiting
}

/// Returns once the status can be read; at the deadline, or when the run is
/// interrupted, closes the connection, which the executor takes as the end
/// of its command, and throws.
void AwaitStatus(int fd, const Deadline& deadline) {
  if (!deadline.AwaitReadable(fd)) {
    close(fd);
    deadline.Reached();
  }
}

control::Status ReceiveStatus(int fd) {
  control::Status status = 0;  // a short reply keeps zeros in its missing bytes
  errno = 0;
  if (control::Receive(fd, &status, sizeof status) <= 0) {
    int error = errno;
    close(fd);
    throw Exception("Failed to recieve command status from Executor: " + SystemError(error));
  }
  return status;
}

}  // namespace

TarncliExecutor* TarncliExecutor::GetInstance() {
  // Never destroyed: the executor process's event-loop thread outlives main.
  static std::shared_ptr<TarncliExecutor>* owner = [] {
    auto* created = new std::shared_ptr<TarncliExecutor>(new TarncliExecutor());
    if (signal(SIGPIPE, SIG_IGN) == SIG_ERR)
      Log_Level(3, "Kickstand cannot ignore SIGPIPE\n");
    return created;
  }();
  return owner->get();
}

int TarncliExecutor::Connect(bool logFailure) {
  sockaddr_un address;
  bool addressFits = control::SocketAddress(address);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Log_Level(2, "Failed creating kickstand client socket %s\n", strerror(errno));
    return -1;
  }
  if (!addressFits || control::ConnectTo(fd, address) != 0) {
    int error = addressFits ? errno : ENAMETOOLONG;
    if (logFailure)
      Log_Level(2, "Failed connecting to executor %s\n", strerror(error));
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

void TarncliExecutor::Start() {
  int probe = Connect(false);
  if (probe >= 0) {
    close(probe);
    return;
  }
  Log_Level(5, "Setting up Executor - Reset Requested\n");
  NewLifeline();
  platform::Spawner& spawner = platform::Spawner::System();
  pid_t child = spawner.Fork();
  if (child < 0)
    throw Exception("Failed to fork" + SystemError(errno));
  if (child == 0)
    RunExecutorProcess();
  close(lifeline_[0]);
  lifeline_[0] = -1;
  int status = 0;
  if (!spawner.Wait(child, &status))
    throw Exception("Failed collecting executor's exit status");
  if (status != 0)
    throw Exception("Kickstand executor failed to start");
}

// The executor ends once every copy of the pipe's write end is gone, and
// only this process keeps one (close-on-exec, so no plugin's child does),
// whatever ends it. Dropping the previous pipe ends an executor that no
// longer answered but still ran.
void TarncliExecutor::NewLifeline() {
  for (int& end : lifeline_) {
    if (end >= 0)
      close(end);
    end = -1;
  }
  if (pipe2(lifeline_, O_CLOEXEC) != 0)
    throw Exception("Failed creating the executor's lifeline: " + SystemError(errno));
}

void TarncliExecutor::Stop() {
  int fd = Connect(false);
  if (fd < 0) {
    Log_Level(5, "Executor already gone.\n");
    return;
  }
  if (control::Send(fd, control::kStopRequest, control::kStopLength) < 0) {
    int error = errno;
    close(fd);
    throw Exception("Failed sending STOP to executor" + SystemError(error));
  }
  char reply[4];
  if (control::Receive(fd, reply, sizeof reply) <= 0)
    Log_Level(5, "Executor has been Successfully Stopped\n");
  close(fd);
}

void TarncliExecutor::Execute(const std::string& commandLine, const Deadline& deadline) {
  int fd = ConnectWithRestarts();
  SendRequest(fd, commandLine);
  AwaitStatus(fd, deadline);
  control::Status status = ReceiveStatus(fd);
  close(fd);
  if (status != 0)
    throw Exception("Executor failed executing tarncli command: " + commandLine);
}

int TarncliExecutor::ConnectWithRestarts() {
  for (int attempts = kConnectionAttempts;;) {
    int fd = Connect(true);
    if (fd >= 0)
      return fd;
    int error = errno;
    Restart();
    if (--attempts == 0)
      throw Exception("Could not connect to Executor:" + SystemError(error));
  }
}

void TarncliExecutor::Restart() {
  ScopedLock lock;
  try {
    Start();
  } catch (const std::exception& e) {
    Log_Level(2, "Resetting Executor failed, retrying: %s\n", e.what());
  } catch (...) {
    Log_Level(2, "Resetting Executor failed, retrying\n");
  }
}

}  // namespace kickstand
