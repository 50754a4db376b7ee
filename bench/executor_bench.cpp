// Round trips through the command executor process: no-op requests from one
// and four client threads, and a described command running /bin/true,
// against fork+exec of /bin/true in the same run. The executor hands each
// connection to a thread of its own; the baseline for its one-thread round
// trip is the design it replaced, a server that handles each connection on
// its event-loop thread, measured in the same run.
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "commandexec/TarncliExecutor.h"
#include "platform/HostPath.h"
#include "platform/Poll.h"
#include "support/RatioReporter.h"

namespace {

using kickstand::TarncliExecutor;

/// A fresh host tree with one described command, "true". Must run before
/// anything reads the relocation root.
std::string MakeHostTree() {
  char pattern[] = "/tmp/kxb.XXXXXX";
  if (!mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  setenv("KICKSTAND_ROOT", pattern, 1);
  boost::filesystem::create_directories(platform::HostPath("/var/log"));
  boost::filesystem::create_directories(platform::HostPath("/usr/lib/halvex/tarncli"));
  std::ofstream(platform::HostPath("/usr/lib/halvex/tarncli/true.json"))
      << R"({"path": ["true"], "program": "/bin/true"})";
  return pattern;
}

sockaddr_un SerialServerAddress() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, platform::HostPath("/serial.sock").c_str(),
          sizeof address.sun_path - 1);
  return address;
}

/// The replaced design in a process of its own: one thread polls, accepts
/// and handles each connection before it looks for the next.
pid_t StartSerialServer() {
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address = SerialServerAddress();
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 16) != 0)
    throw std::runtime_error("cannot listen at " + std::string(address.sun_path));
  pid_t child = fork();
  if (child == 0) {
    static int served = listener;
    Poll_InitDefault();
    Poll_Callback(1, 21, [](void*) {
      int connection = accept4(served, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0 && !TarncliExecutor::HandleControlConnection(connection))
        close(connection);
    }, nullptr, POLL_EVENT_READ, listener, nullptr);
    char never = 0;
    Poll_Loop(1, &never, 0);
    _exit(0);
  }
  close(listener);
  return child;
}

void BM_ForkExecTrue(benchmark::State& state) {
  for (auto _ : state) {
    pid_t child = fork();
    if (child == 0) {
      execl("/bin/true", "/bin/true", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status;
    waitpid(child, &status, 0);
  }
}

void BM_NoopRoundTrip(benchmark::State& state) {
  for (auto _ : state)
    TarncliExecutor::GetInstance()->Execute("#");
  state.SetItemsProcessed(state.iterations());
}

/// The same exchange as TarncliExecutor::Execute, with the serial server.
void BM_SerialServerNoopRoundTrip(benchmark::State& state) {
  sockaddr_un address = SerialServerAddress();
  for (auto _ : state) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int32_t status = -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        send(fd, "#", 1, MSG_NOSIGNAL) != 1 || shutdown(fd, SHUT_WR) != 0 ||
        recv(fd, &status, sizeof status, 0) != sizeof status || status != 0)
      state.SkipWithError("no status from the serial server");
    close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_DescribedTrue(benchmark::State& state) {
  for (auto _ : state)
    TarncliExecutor::GetInstance()->Execute("true");
}

BENCHMARK(BM_ForkExecTrue)->UseRealTime();
BENCHMARK(BM_NoopRoundTrip)->Threads(1)->UseRealTime();
BENCHMARK(BM_NoopRoundTrip)->Threads(4)->UseRealTime();
BENCHMARK(BM_SerialServerNoopRoundTrip)->UseRealTime();
BENCHMARK(BM_DescribedTrue)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  std::string root = MakeHostTree();
  pid_t serialServer = StartSerialServer();
  TarncliExecutor::GetInstance()->Start();
  bench_support::RatioReporter reporter;
  reporter.Compare("BM_DescribedTrue/real_time", "BM_ForkExecTrue/real_time");
  reporter.Compare("BM_NoopRoundTrip/real_time/threads:1", "BM_ForkExecTrue/real_time");
  reporter.Compare("BM_NoopRoundTrip/real_time/threads:4", "BM_NoopRoundTrip/real_time/threads:1");
  reporter.Compare("BM_NoopRoundTrip/real_time/threads:1", "BM_SerialServerNoopRoundTrip/real_time");
  bench_support::RunWith(argc, argv, reporter);
  TarncliExecutor::GetInstance()->Stop();
  kill(serialServer, SIGKILL);
  waitpid(serialServer, nullptr, 0);
  boost::filesystem::remove_all(root);
  return 0;
}
