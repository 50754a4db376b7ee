#include "executor/TarncliExecutor.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "driver/Process.h"
#include "executor/TarncliDispatcher.h"
#include "platform/HostPath.h"
#include "platform/Log.h"
#include "platform/Poll.h"
#include "platform/tessel/OptionParser.h"
#include "util/Exception.h"
#include "util/GlobalLock.h"

namespace kickstand {
namespace {

const char kControlSocketPath[] = "/var/run/halvex/kickstandExecutor.sock";
const char kExecutorLogPath[] = "/var/log/kickstand-tarncli-stdout.log";
const int kListenBacklog = 16;
const int kConnectionAttempts = 10;
const size_t kRequestBufferSize = 1024;
const time_t kRequestWaitSeconds = 10;
const int kPollClassSet = 1;
const int kPollFlags = 21;

/// Set by the stop request, read by Poll_Loop; only the event-loop thread
/// touches it.
char executorStopFlag = 0;

std::string SystemError(int error) { return strerror(error); }

/// False with ENAMETOOLONG when the path under a long relocation root does
/// not fit: cut short, it would name another file, or another tree's socket.
bool ControlAddress(sockaddr_un& address) {
  std::string path = platform::HostPath(kControlSocketPath);
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return true;
}

int ConnectTo(int fd, const sockaddr_un& address) {
  return connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

/// send and recv, repeated while a signal interrupts them.
ssize_t Send(int fd, const void* data, size_t size) {
  ssize_t sent;
  while ((sent = send(fd, data, size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
  }
  return sent;
}

ssize_t Receive(int fd, void* buffer, size_t size) {
  ssize_t received;
  while ((received = recv(fd, buffer, size, 0)) < 0 && errno == EINTR) {
  }
  return received;
}

// Client side.

void SendRequest(int fd, const std::string& commandLine) {
  if (Send(fd, commandLine.data(), commandLine.size()) < 0) {
    int error = errno;
    close(fd);
    throw Exception("Failed sending command to executor: " + SystemError(error));
  }
  shutdown(fd, SHUT_WR);  // ends the request, so an empty line does not leave both sides waiting
}

int32_t ReceiveStatus(int fd) {
  int32_t status = 0;  // a short reply keeps zeros in its missing bytes
  errno = 0;
  if (Receive(fd, &status, sizeof status) <= 0) {
    int error = errno;
    close(fd);
    throw Exception("Failed to recieve command status from Executor: " + SystemError(error));
  }
  return status;
}

// Server side.

[[noreturn]] void CloseAndThrow(int& fd, const std::string& what) {
  int error = errno;
  close(fd);
  fd = -1;
  throw Exception(what + SystemError(error));
}

int BindOwnerOnly(int fd, const sockaddr_un& address) {
  mode_t previous = umask(0177);  // the socket file is born 0600, no window
  int result = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  int error = errno;
  umask(previous);
  errno = error;
  return result;
}

/// A socket file that nothing listens on any more: its executor ended
/// without removing it. Keeps errno.
bool IsStaleSocket(const sockaddr_un& address) {
  int error = errno;
  struct stat info;
  bool stale = false;
  if (lstat(address.sun_path, &info) == 0 && S_ISSOCK(info.st_mode)) {
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    stale = probe >= 0 && ConnectTo(probe, address) != 0 && errno == ECONNREFUSED;
    if (probe >= 0)
      close(probe);
  }
  errno = error;
  return stale;
}

int BindControlSocket(int fd) {
  sockaddr_un address;
  if (!ControlAddress(address))
    return -1;
  boost::system::error_code ignored;  // a failure shows as the bind error
  boost::filesystem::create_directories(
      boost::filesystem::path(address.sun_path).parent_path(), ignored);
  int result = BindOwnerOnly(fd, address);
  if (result != 0 && errno == EADDRINUSE && IsStaleSocket(address)) {
    unlink(address.sun_path);
    result = BindOwnerOnly(fd, address);
  }
  return result;
}

int AcceptConnection(int listener) {
  int connection;
  while ((connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) < 0 && errno == EINTR) {
  }
  if (connection < 0)
    Log_Level(3, "Error accepting connection on contol socket - %s\n\n", strerror(errno));
  return connection;
}

bool PeerIsOwnUser(int connection) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    Log_Level(3, "Refused an executor client whose user is unknown: %s\n", strerror(errno));
    return false;
  }
  if (peer.uid == geteuid())
    return true;
  Log_Level(3, "Refused an executor client of user %u\n", static_cast<unsigned>(peer.uid));
  return false;
}

/// Fills request with at most its size - 1 bytes and a NUL after them.
bool ReceiveRequest(int connection, char (&request)[kRequestBufferSize]) {
  // A client that connects and never sends would otherwise hold the one
  // event-loop thread, and with it every other plugin's command, for ever.
  timeval limit{kRequestWaitSeconds, 0};
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ssize_t received = Receive(connection, request, kRequestBufferSize - 1);
  if (received < 0) {
    Log_Level(3, "Failed to read message from socket - %s\n\n", strerror(errno));
    return false;
  }
  request[received] = '\0';
  return true;
}

void StopServing(void* clientData) {
  Log_Level(5, "Kickstand executor signalled to stop\n");
  executorStopFlag = 1;
  Poll_NotifyChange(kPollClassSet);
  Poll_CallbackRemove(kPollClassSet, kPollFlags, TarncliExecutor::HandleControlConnection,
                      clientData, POLL_EVENT_READ);
}

void ReportParseErrors(const Tessel::AutoCli::OptionParser& parser,
                       const std::string& commandLine) {
  for (const std::string& error : parser.GetParseErrors())
    Log_Level(2, "Executor was unable to parse command: %s\n", error.c_str());
  if (!parser.GetParseErrors().empty())
    throw Exception("Executor failed to parse command " + commandLine);
}

void ExecuteParsed(const Tessel::AutoCli::OptionParser& parser, const std::string& commandLine) {
  auto input = Tessel::AutoCli::CommandInput::New();
  auto output = Tessel::AutoCli::CommandOutput::New();
  auto parameters = parser.GetCommandParameters();
  std::list<std::string> path = parser.GetCommandPath();
  input->SetDispatcher("kickstand");
  input->SetCommandPath(path);
  for (const auto& parameter : parameters)
    input->AddParameter(parameter.first, parameter.second);
  TarncliDispatcher::GetInstance()->ExecuteCommand(input, output);
  if (!output->HasError())
    return;
  for (const std::string& error : output->GetErrors())
    Log_Level(2, "execution of '%s' failed : %s\n", commandLine.c_str(), error.c_str());
  throw Exception("Executor failed to execute command: " + commandLine);
}

int32_t RunCommandLine(const char* request) {
  try {
    std::string commandLine(request);
    Tessel::AutoCli::OptionParser parser;
    if (parser.ParseString(commandLine))
      return 0;
    ReportParseErrors(parser, commandLine);
    ExecuteParsed(parser, commandLine);
    return 0;
  } catch (...) {
    return 1;  // parse and execution errors were logged where they were found
  }
}

void SendStatus(int connection, int32_t status) {
  if (Send(connection, &status, sizeof status) < 0)
    Log_Level(3, "Sending command status to kickstand failed\n");
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
  bool addressFits = ControlAddress(address);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Log_Level(2, "Failed creating kickstand client socket %s\n", strerror(errno));
    return -1;
  }
  if (!addressFits || ConnectTo(fd, address) != 0) {
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
  pid_t child = fork();
  if (child < 0)
    throw Exception("Failed to fork" + SystemError(errno));
  if (child == 0)
    RunExecutorProcess();
  int status = 0;
  pid_t waited;
  while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  if (waited < 0)
    throw Exception("Failed collecting executor's exit status");
  if (status != 0)
    throw Exception("Kickstand executor failed to start");
}

void TarncliExecutor::RunExecutorProcess() {
  try {
    RedirectStdio(platform::HostPath(kExecutorLogPath).c_str());
    OpenControlSocket();
    if (daemon(0, 1) != 0)
      throw Exception("Failed to daemonize");
    StartEventLoop();
    Log_Level(5, "Executor Reset - polling for commands\n");
  } catch (const std::exception& e) {
    Log_Level(2, "Unable to start executor: %s\n", e.what());
    _exit(-1);
  } catch (...) {
    Log_Level(2, "Unable to start executor\n");
    _exit(-1);
  }
  eventLoop_.join();
  close(controlSocket_);
  _exit(0);
}

void TarncliExecutor::Stop() {
  int fd = Connect(false);
  if (fd < 0) {
    Log_Level(5, "Executor already gone.\n");
    return;
  }
  if (Send(fd, "stop", 4) < 0) {
    int error = errno;
    close(fd);
    throw Exception("Failed sending STOP to executor" + SystemError(error));
  }
  char reply[4];
  if (Receive(fd, reply, sizeof reply) <= 0)
    Log_Level(5, "Executor has been Successfully Stopped\n");
  close(fd);
}

void TarncliExecutor::Execute(const std::string& commandLine) {
  int fd = ConnectWithRestarts();
  SendRequest(fd, commandLine);
  int32_t status = ReceiveStatus(fd);
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

void TarncliExecutor::OpenControlSocket() {
  controlSocket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (controlSocket_ < 0)
    throw Exception("Error opening control socket for executor: " + SystemError(errno));
  if (BindControlSocket(controlSocket_) != 0)
    CloseAndThrow(controlSocket_, "Failed to bind to executor control socket: ");
  if (listen(controlSocket_, kListenBacklog) != 0)
    CloseAndThrow(controlSocket_, "Failed to listen on executor control socket: ");
}

void TarncliExecutor::StartEventLoop() {
  executorStopFlag = 0;  // a forked copy of a process whose loop was stopped carries 1
  try {
    eventLoop_ = std::thread(&TarncliExecutor::EventLoop, this);
  } catch (const std::system_error&) {
    throw Exception("Failed creating Executor Event Loop thread");
  }
}

void TarncliExecutor::EventLoop() {
  int listener = controlSocket_;  // the callback's client data, alive as long as the loop
  Poll_InitDefault();
  if (Poll_Callback(kPollClassSet, kPollFlags, HandleControlConnection, &listener,
                    POLL_EVENT_READ, listener, nullptr) != 0) {
    Log_Level(2, "Failed setting up Poll Loop for executor\n");
    return;
  }
  Poll_Loop(1, &executorStopFlag, 0);
}

void TarncliExecutor::HandleControlConnection(void* clientData) {
  int connection = AcceptConnection(*static_cast<int*>(clientData));
  if (connection < 0)
    return;
  char request[kRequestBufferSize];
  if (PeerIsOwnUser(connection) && ReceiveRequest(connection, request)) {
    if (strncasecmp(request, "stop", 4) == 0)
      StopServing(clientData);
    else
      SendStatus(connection, RunCommandLine(request));
  }
  close(connection);
}

}  // namespace kickstand
