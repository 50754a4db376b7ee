#pragma once
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace platform {

/// What a child process is started with. Descriptor set-up happens in the
/// child, in this order: the directory change, the opens, the dup2s, then
/// the closing of everything from closeFrom up. The child starts with no
/// signal blocked, whatever the spawning thread blocks.
struct SpawnRequest {
  /// A file the child opens on a descriptor of its own before it starts.
  struct Open {
    int fd;
    std::string path;
    int flags;
    mode_t mode;
  };

  std::vector<std::string> arguments;  // the first is the program's path
  char** environment = nullptr;        // null: this process's own
  int directory = -1;                  // descriptor the child changes into, or -1
  std::vector<Open> opens;
  std::vector<std::pair<int, int>> dup2s;  // (from, to)
  int closeFrom = -1;                  // -1: keep what is not close-on-exec
  /// The child leads a process group of its own, so that it and everything
  /// it starts can be ended with one signal.
  bool newProcessGroup = false;
  /// kickstand ignores SIGPIPE, and an ignored signal stays ignored across
  /// exec: programs get it back at its default unless they ask to inherit.
  bool defaultSigpipe = true;
};

/// The one place where kickstand starts and waits for child processes, so
/// that tests can put a fake in its place and a watchdog can end any child.
class Spawner {
 public:
  virtual ~Spawner() = default;

  /// The child's process id, or -1 with errno set (a program that cannot be
  /// executed is reported here, not as an exit status).
  virtual pid_t Spawn(const SpawnRequest& request) = 0;
  /// waitpid without blocking: 0 while the child runs, -1 with errno set.
  virtual pid_t TryWait(pid_t child, int* status) = 0;
  /// Waits for the child's end, through interrupted calls; with a limit, at
  /// most that long, and with a hangUp descriptor (a connection, a run's
  /// interruption) only while its peer keeps it open. False with errno set
  /// when it could not wait, with ETIMEDOUT when the limit passed first and
  /// with ECONNRESET when hangUp hung up first; the child then runs on.
  virtual bool Wait(pid_t child, int* status,
                    std::optional<std::chrono::milliseconds> limit = std::nullopt,
                    int hangUp = -1) = 0;
  /// Sends signal to the child's process group when it leads one, else to
  /// the child alone.
  virtual void Signal(pid_t child, int signal) = 0;
  /// A copy of this process, for children that run our own code before
  /// they exec, or instead: 0 in the child, -1 with errno on failure. The
  /// child starts with no signal blocked, as spawned children do.
  virtual pid_t Fork() = 0;

  /// After the leader of group has ended and been reaped: waits at most
  /// left for the rest of the group to end, then SIGKILLs what remains.
  virtual void EndRestOfGroup(pid_t group, std::chrono::milliseconds left) = 0;

  /// Ends a child that leads a process group, and the group with it:
  /// SIGTERM to the group, and SIGKILL to whatever of it still runs once
  /// grace has passed, and reaps the child. False when it could not be
  /// reaped.
  bool End(pid_t child, int* status, std::chrono::milliseconds grace = std::chrono::seconds(2)) {
    auto begun = std::chrono::steady_clock::now();
    Signal(child, SIGTERM);
    if (Wait(child, status, grace)) {
      EndRestOfGroup(child, grace - std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - begun));
      return true;
    }
    Signal(child, SIGKILL);
    return Wait(child, status);
  }

  /// The operating system's spawner, shared by the whole process.
  static Spawner& System();
};

}  // namespace platform
