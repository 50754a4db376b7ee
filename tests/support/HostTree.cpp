#include "support/HostTree.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace testing_support {
namespace {

void ReadAvailable(int fd, std::string& into, bool& open) {
  char buffer[4096];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0)
    into.append(buffer, static_cast<size_t>(n));
  else if (n == 0 || errno != EINTR)
    open = false;
}

/// Collects both pipes until they close; gives up at the deadline.
bool Collect(int outFd, int errFd, RunResult& result,
             std::chrono::steady_clock::time_point deadline) {
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0)
      return false;
    pollfd fds[2] = {{outOpen ? outFd : -1, POLLIN, 0}, {errOpen ? errFd : -1, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR)
      return false;
    if (fds[0].revents) ReadAvailable(outFd, result.out, outOpen);
    if (fds[1].revents) ReadAvailable(errFd, result.err, errOpen);
  }
  return true;
}

[[noreturn]] void ExecKickstand(const std::string& root, const std::vector<std::string>& args,
                                const std::string& cwd, int outFd, int errFd) {
  dup2(outFd, 1);
  dup2(errFd, 2);
  dup2(open("/dev/null", O_RDONLY), 0);
  setenv("KICKSTAND_ROOT", root.c_str(), 1);
  if (chdir(cwd.c_str()) != 0) _exit(126);
  std::vector<char*> argv{const_cast<char*>(KICKSTAND_BINARY)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(KICKSTAND_BINARY, argv.data());
  _exit(127);
}

bool EnvironmentNames(pid_t pid, const std::string& entry) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  std::string variable;
  while (std::getline(file, variable, '\0'))
    if (variable == entry) return true;
  return false;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::vector<std::string> RunResult::LogLines() const {
  std::vector<std::string> lines;
  for (const std::string& line : SplitLines(out)) {
    size_t bracket = line.find("] ");
    if (line.size() > 24 && line[4] == '-' && bracket != std::string::npos)
      lines.push_back(line.substr(bracket + 2));
  }
  return lines;
}

bool RunResult::Logged(const std::string& line) const {
  for (const std::string& logged : LogLines())
    if (logged == line) return true;
  return false;
}

HostTree::HostTree() {
  char pattern[] = "/tmp/ks.XXXXXX";
  if (!mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  for (const char* dir : {"/usr/libexec/kickstand/plugins", "/etc/halvex/kickstand",
                          "/var/log", "/var/run/halvex", "/var/lib/configstore", "/bootbank",
                          "/usr/lib/halvex/kickstand", "/usr/lib/halvex/tarncli"})
    fs::create_directories(Path(dir));
  std::string native = KICKSTAND_NATIVE_EXECUTOR;
  if (!native.empty())
    fs::copy_file(native, Path("/usr/lib/halvex/kickstand/nativeExecutor"));
}

HostTree::~HostTree() {
  KillLeftovers();
  boost::system::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string HostTree::Path(const std::string& hostPath) const { return root_ + hostPath; }

void HostTree::Write(const std::string& hostPath, const std::string& content, mode_t mode) const {
  fs::create_directories(fs::path(Path(hostPath)).parent_path());
  std::ofstream(Path(hostPath), std::ios::binary | std::ios::trunc) << content;
  chmod(Path(hostPath).c_str(), mode);
}

void HostTree::WriteScript(const std::string& hostPath, const std::string& body) const {
  Write(hostPath, "#!/bin/sh\n" + body + "\n", 0755);
}

std::string HostTree::Read(const std::string& hostPath) const {
  std::ifstream file(Path(hostPath), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool HostTree::Exists(const std::string& hostPath) const {
  boost::system::error_code error;
  return fs::symlink_status(Path(hostPath), error).type() != fs::file_not_found && !error;
}

std::vector<std::string> HostTree::ReadLines(const std::string& hostPath) const {
  return SplitLines(Read(hostPath));
}

RunResult HostTree::Run(const std::vector<std::string>& args, int timeoutSeconds,
                        const std::string& workingDirectory) const {
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t child = fork();
  if (child == 0)
    ExecKickstand(root_, args, workingDirectory, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  RunResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  result.timedOut = !Collect(outPipe[0], errPipe[0], result, deadline);
  if (result.timedOut)
    kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  close(outPipe[0]);
  close(errPipe[0]);
  return result;
}

std::vector<pid_t> HostTree::Processes() const {
  std::string entry = "KICKSTAND_ROOT=" + root_;
  std::vector<pid_t> found;
  for (const fs::directory_entry& process : fs::directory_iterator("/proc")) {
    std::string name = process.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    pid_t pid = std::stoi(name);
    if (pid != getpid() && EnvironmentNames(pid, entry))
      found.push_back(pid);
  }
  return found;
}

void HostTree::KillLeftovers() const {
  for (pid_t pid : Processes())
    kill(pid, SIGKILL);
}

}  // namespace testing_support
