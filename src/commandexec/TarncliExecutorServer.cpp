#include "commandexec/TarncliExecutor.h"

#include <cerrno>
#include <cstring>
#include <list>
#include <optional>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "commandexec/ControlProtocol.h"
#include "commandexec/ControlServer.h"
#include "commandexec/TarncliDispatcher.h"
#include "core/Process.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Log.h"
#include "platform/Poll.h"
#include "platform/ProcessorCount.h"
#include "platform/tessel/OptionParser.h"
#include "util/Exception.h"

// The server side: runs only in the forked command executor process.
namespace kickstand {
namespace {

const int kListenBacklog = 16;

/// The process whose run started this executor, or 0 where the process that
/// serves also sends (tests). A run that takes no lock (a dump) may find
/// another run's executor and reuse it; its stop request must not end it.
pid_t starter = 0;

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

bool StopComesFromStarter(int connection) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (starter == 0 ||
      (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid == starter))
    return true;
  Log_Level(3, "Ignored a stop request from process %d: another run started this executor\n",
            static_cast<int>(peer.pid));
  return false;
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

/// Fills request with at most its size - 1 bytes and a NUL after them. The
/// request is there already: the event loop hands over readable connections.
bool ReceiveRequest(int connection, char (&request)[control::kRequestSize]) {
  ssize_t received = control::Receive(connection, request, control::kRequestSize - 1);
  if (received < 0) {
    Log_Level(3, "Failed to read message from socket - %s\n\n", strerror(errno));
    return false;
  }
  request[received] = '\0';
  return true;
}

/// The client has closed its end: nobody waits for the status any more.
bool ClientLeft(int connection) {
  pollfd hangUp{connection, 0, 0};
  return poll(&hangUp, 1, 0) > 0 && (hangUp.revents & (POLLHUP | POLLERR));
}

void ReportParseErrors(const Tessel::AutoCli::OptionParser& parser,
                       const std::string& commandLine) {
  for (const std::string& error : parser.GetParseErrors())
    Log_Level(2, "Executor was unable to parse command: %s\n", error.c_str());
  if (!parser.GetParseErrors().empty())
    throw Exception("Executor failed to parse command " + commandLine);
}

/// The status of a parsed command line; nothing when its client left
/// before it ended (the framework then ends its program) or even began.
std::optional<control::Status> ExecuteParsed(const Tessel::AutoCli::OptionParser& parser,
                                             const std::string& commandLine, int connection) {
  if (ClientLeft(connection))
    return std::nullopt;
  auto input = Tessel::AutoCli::CommandInput::New();
  auto output = Tessel::AutoCli::CommandOutput::New();
  auto parameters = parser.GetCommandParameters();
  std::list<std::string> path = parser.GetCommandPath();
  input->SetDispatcher("kickstand");
  input->SetCommandPath(path);
  for (const auto& parameter : parameters)
    input->AddParameter(parameter.first, parameter.second);
  input->SetClientConnection(connection);
  TarncliDispatcher::GetInstance()->ExecuteCommand(input, output);
  for (const std::string& error : output->GetErrors())
    Log_Level(2, "execution of '%s' failed : %s\n", commandLine.c_str(), error.c_str());
  if (ClientLeft(connection))
    return std::nullopt;
  return output->HasError() ? 1 : 0;
}

std::optional<control::Status> RunCommandLine(const char* request, int connection) {
  try {
    std::string commandLine(request);
    Tessel::AutoCli::OptionParser parser;
    if (parser.ParseString(commandLine))
      return 0;
    ReportParseErrors(parser, commandLine);
    return ExecuteParsed(parser, commandLine, connection);
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
  close(lifeline_[1]);  // held by the starting process alone
  lifeline_[1] = -1;
  starter = getppid();
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
  AwaitStop();
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
  try {
    eventLoop_ = std::thread(&TarncliExecutor::EventLoop, this);
  } catch (const std::system_error&) {
    throw Exception("Failed creating Executor Event Loop thread");
  }
}

void TarncliExecutor::EventLoop() {
  // Lives as long as the loop; its end serves what was accepted.
  ControlServer server(controlSocket_, 2 * platform::ProcessorCount(), lifeline_[0]);
  Poll_InitDefault();
  if (!server.Register()) {
    Log_Level(2, "Failed setting up Poll Loop for executor\n");
    return;
  }
  Poll_Loop(1, server.StopFlag(), 0);
}

void TarncliExecutor::AwaitStop() {
  eventLoop_.join();
  close(controlSocket_);
  controlSocket_ = -1;
}

bool TarncliExecutor::HandleControlConnection(int connection) {
  char request[control::kRequestSize];
  if (!PeerIsOwnUser(connection) || !ReceiveRequest(connection, request))
    return false;
  if (strncasecmp(request, control::kStopRequest, control::kStopLength) == 0) {
    if (!StopComesFromStarter(connection))
      return false;
    Log_Level(5, "Kickstand executor signalled to stop\n");
    return true;
  }
  if (std::optional<control::Status> status = RunCommandLine(request, connection))
    SendStatus(connection, *status);
  return false;
}

}  // namespace kickstand
