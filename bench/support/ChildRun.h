#pragma once
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <boost/filesystem.hpp>

extern char** environ;

namespace bench_support {

/// What one finished child cost, as its parent saw it.
struct ChildCost {
  double wallSeconds = 0;
  int status = -1;
};

/// The current environment with KICKSTAND_ROOT replaced by root ("" drops it).
inline std::vector<std::string> EnvironmentWithRoot(const std::string& root) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry)
    if (std::strncmp(*entry, "KICKSTAND_ROOT=", 15) != 0) entries.push_back(*entry);
  if (!root.empty()) entries.push_back("KICKSTAND_ROOT=" + root);
  return entries;
}

inline std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

/// Spawns argv with its output on /dev/null and waits for it, so the wall
/// time covers exactly the spawn, the run and the reaping.
inline ChildCost RunChild(std::vector<std::string> argv, std::vector<std::string> environment) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args = Pointers(argv), env = Pointers(environment);
  ChildCost cost;
  auto begin = std::chrono::steady_clock::now();
  pid_t pid;
  int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0)
    throw std::runtime_error("cannot spawn " + argv[0] + ": " + std::strerror(error));
  waitpid(pid, &cost.status, 0);
  cost.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return cost;
}

/// Adopts orphaned descendants (the daemonised command executor) so that
/// their ends are seen here and reaped instead of piling up as zombies.
inline void BecomeSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

inline bool EnvironmentNames(const std::string& pid, const std::string& entry) {
  std::ifstream file("/proc/" + pid + "/environ", std::ios::binary);
  std::string variable;
  while (std::getline(file, variable, '\0'))
    if (variable == entry) return true;
  return false;
}

/// Live processes (other than this one) whose environment names root.
inline std::vector<pid_t> ProcessesOfRoot(const std::string& root) {
  std::vector<pid_t> found;
  std::string entry = "KICKSTAND_ROOT=" + root, self = std::to_string(getpid());
  for (const auto& process : boost::filesystem::directory_iterator("/proc")) {
    std::string name = process.path().filename().string();
    if (name.find_first_not_of("0123456789") == std::string::npos && name != self &&
        EnvironmentNames(name, entry))
      found.push_back(std::stoi(name));
  }
  return found;
}

/// Waits until nothing of a boot in root runs any more (the command
/// executor ends shortly after its stop request), then reaps adopted
/// zombies. Stragglers after five seconds are killed and reported.
inline void AwaitQuietRoot(const std::string& root) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::vector<pid_t> left;
  while (!(left = ProcessesOfRoot(root)).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (pid_t pid : left) kill(pid, SIGKILL);
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  if (!left.empty())
    throw std::runtime_error(std::to_string(left.size()) + " process(es) left behind in " + root);
}

}  // namespace bench_support
