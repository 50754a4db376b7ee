#include "commandexec/TarncliExecutor.h"

#include <cerrno>
#include <cstring>
#include <list>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "commandexec/ControlProtocol.h"
#include "commandexec/TarncliDispatcher.h"
#include "core/Process.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "platform/Poll.h"
#include "platform/tessel/OptionParser.h"
#include "util/Exception.h"

// The server side: runs only in the forked command executor process.
namespace kickstand {
namespace {

const int kListenBacklog = 16;
const time_t kRequestWaitSeconds = 10;
const int kPollClassSet = 1;
const int kPollFlags = 21;

/// Set by the stop request, read by Poll_Loop; only the event-loop thread
/// touches it.
char executorStopFlag = 0;

std::string SystemError(int error) { return strerror(error); }

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
    stale = probe >= 0 && control::ConnectTo(probe, address) != 0 && errno == ECONNREFUSED;
    if (probe >= 0)
      close(probe);
  }
  errno = error;
  return stale;
}

int BindControlSocket(int fd) {
  sockaddr_un address;
  if (!control::SocketAddress(address))
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
bool ReceiveRequest(int connection, char (&request)[control::kRequestSize]) {
  // A client that connects and never sends would otherwise hold the one
  // event-loop thread, and with it every other plugin's command, for ever.
  timeval limit{kRequestWaitSeconds, 0};
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ssize_t received = control::Receive(connection, request, control::kRequestSize - 1);
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

control::Status RunCommandLine(const char* request) {
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

void SendStatus(int connection, control::Status status) {
  if (control::Send(connection, &status, sizeof status) < 0)
    Log_Level(3, "Sending command status to kickstand failed\n");
}

}  // namespace

void TarncliExecutor::RunExecutorProcess() {
  try {
    RedirectStdio(platform::HostPath(platform::paths::kExecutorLog).c_str());
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
  char request[control::kRequestSize];
  if (PeerIsOwnUser(connection) && ReceiveRequest(connection, request)) {
    if (strncasecmp(request, control::kStopRequest, control::kStopLength) == 0)
      StopServing(clientData);
    else
      SendStatus(connection, RunCommandLine(request));
  }
  close(connection);
}

}  // namespace kickstand
