#include "ProcessRoot.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "platform/HostPath.h"

namespace fs = boost::filesystem;

namespace executor_tests {
namespace {

const unsigned long kListeningFlag = 0x10000;  // __SO_ACCEPTCON in /proc/net/unix

std::string MakeRoot() {
  char pattern[] = "/tmp/kse.XXXXXX";  // short: the socket path must fit sun_path
  if (!mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  setenv("KICKSTAND_ROOT", pattern, 1);
  return pattern;
}

const std::string& Root() {
  static const std::string root = MakeRoot();
  return root;
}

void RemoveRoot() {
  KillExecutors();
  boost::system::error_code ignored;
  fs::remove_all(Root(), ignored);
}

// Before main, so no HostPath call comes earlier; removed at every normal
// exit, test listings included (forked executors end with _exit).
[[maybe_unused]] const bool rootReady = (Root(), std::atexit(RemoveRoot), true);

std::set<std::string> ListeningInodes(const std::string& socketPath) {
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);  // header
  std::set<std::string> inodes;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, references, protocol, flags, type, state, inode, path;
    fields >> slot >> references >> protocol >> flags >> type >> state >> inode >> path;
    if (path == socketPath && (std::stoul(flags, nullptr, 16) & kListeningFlag))
      inodes.insert("socket:[" + inode + "]");
  }
  return inodes;
}

bool HoldsAny(const fs::path& process, const std::set<std::string>& sockets) {
  boost::system::error_code error;
  for (fs::directory_iterator fd(process / "fd", error), end; !error && fd != end;
       fd.increment(error)) {
    if (sockets.count(fs::read_symlink(fd->path(), error).string()))
      return true;
  }
  return false;
}

}  // namespace

const std::string& ProcessRoot() { return Root(); }

std::string RootPath(const std::string& hostPath) { return platform::HostPath(hostPath); }

void WriteFile(const std::string& hostPath, const std::string& content, mode_t mode) {
  fs::create_directories(fs::path(RootPath(hostPath)).parent_path());
  std::ofstream(RootPath(hostPath), std::ios::trunc) << content;
  chmod(RootPath(hostPath).c_str(), mode);
}

std::string ReadFile(const std::string& hostPath) {
  std::ifstream file(RootPath(hostPath));
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

bool Listening(const std::string& socketPath) { return !ListeningInodes(socketPath).empty(); }

bool NoListenerWithin(const std::string& socketPath) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Listening(socketPath)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<pid_t> SocketListeners(const std::string& socketPath) {
  std::set<std::string> sockets = ListeningInodes(socketPath);
  std::vector<pid_t> pids;
  boost::system::error_code error;
  for (fs::directory_iterator process("/proc", error), end; !error && process != end;
       process.increment(error)) {
    std::string name = process->path().filename().string();
    if (!sockets.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
        std::stoi(name) != getpid() && HoldsAny(process->path(), sockets))
      pids.push_back(std::stoi(name));
  }
  return pids;
}

void KillExecutors() {
  std::string socket = RootPath("/var/run/halvex/kickstandExecutor.sock");
  for (pid_t pid : SocketListeners(socket))
    kill(pid, SIGKILL);
  NoListenerWithin(socket);
}

}  // namespace executor_tests
