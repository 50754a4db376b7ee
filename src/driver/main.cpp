#include "driver/BootRun.h"

int main(int argc, char** argv, char** envp) {
  // Plugins and barriers live until the process ends; keeping the run
  // reachable from static storage keeps them so.
  static auto* run = new kickstand::BootRun(argc, argv, envp);
  return run->Run();
}
