#include "driver/BootRun.h"

int main(int argc, char** argv, char** envp) {
  return kickstand::BootRun(argc, argv, envp).Run();
}
