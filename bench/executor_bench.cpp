// Round trips through the command executor process: no-op requests from one
// and four client threads, and a described command running /bin/true,
// against fork+exec of /bin/true in the same run.
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <boost/filesystem.hpp>

#include "commandexec/TarncliExecutor.h"
#include "platform/HostPath.h"
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

void BM_DescribedTrue(benchmark::State& state) {
  for (auto _ : state)
    TarncliExecutor::GetInstance()->Execute("true");
}

BENCHMARK(BM_ForkExecTrue)->UseRealTime();
BENCHMARK(BM_NoopRoundTrip)->Threads(1)->UseRealTime();
BENCHMARK(BM_NoopRoundTrip)->Threads(4)->UseRealTime();
BENCHMARK(BM_DescribedTrue)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  std::string root = MakeHostTree();
  TarncliExecutor::GetInstance()->Start();
  bench_support::RatioReporter reporter;
  reporter.Compare("BM_DescribedTrue/real_time", "BM_ForkExecTrue/real_time");
  reporter.Compare("BM_NoopRoundTrip/real_time/threads:1", "BM_ForkExecTrue/real_time");
  reporter.Compare("BM_NoopRoundTrip/real_time/threads:4", "BM_ForkExecTrue/real_time");
  bench_support::RunWith(argc, argv, reporter);
  TarncliExecutor::GetInstance()->Stop();
  boost::filesystem::remove_all(root);
  return 0;
}
