#include "core/Clock.h"
#include "driver/BootRun.h"

int main(int argc, char** argv, char** envp) {
  kickstand::BootRun run(argc, argv, envp, kickstand::Clock::System());
  return run.Run();
}
