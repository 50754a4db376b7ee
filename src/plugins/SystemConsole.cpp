#include "plugins/SystemConsole.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <linux/vt.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/Log.h"
#include "platform/Spawner.h"

namespace kickstand {
namespace {

[[noreturn]] void ExecShell() {
  if (setsid() < 0) {
    Log_Level(2, "unable to create new session: %s\n", strerror(errno));
    _exit(1);
  }
  closefrom(3);
  ioctl(0, TIOCSCTTY, 1);
  signal(SIGPIPE, SIG_DFL);  // ignored by kickstand, but not the operator's shell
  execl("/bin/sh", "/bin/sh", static_cast<char*>(nullptr));
  Log_Level(2, "unable to exec shell: %s\n", strerror(errno));
  _exit(1);
}

}  // namespace

void SystemConsole::SwitchConsole(int number) {
  // Without O_NOCTTY our session, which has no terminal, would take the
  // console as its controlling terminal.
  int fd = open("/dev/console", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return;
  if (ioctl(fd, VT_ACTIVATE, number) != 0)
    ioctl(fd, VT_WAITACTIVE, number);
  close(fd);
}

std::ostream& SystemConsole::Output() { return std::cout; }

int SystemConsole::ReadChar() {
  // One byte a read: keys typed ahead belong to the shell or to later
  // questions, not to a buffer behind this one.
  static bool unbuffered = setvbuf(stdin, nullptr, _IONBF, 0) == 0;
  (void)unbuffered;
  for (;;) {
    int c = getc(stdin);
    if (c != EOF || !ferror(stdin) || errno != EINTR)
      return c;
    clearerr(stdin);
  }
}

bool SystemConsole::GetModes(termios& modes) { return tcgetattr(0, &modes) == 0; }

bool SystemConsole::SetModes(const termios& modes) { return tcsetattr(0, TCSANOW, &modes) == 0; }

void SystemConsole::RunShell() {
  platform::Spawner& spawner = platform::Spawner::System();
  pid_t child = spawner.Fork();
  if (child < 0) {
    Log_Level(2, "failed to fork - unable to launch troubleshooting shell: %s\n", strerror(errno));
    return;
  }
  if (child == 0)
    ExecShell();
  int status = 0;
  spawner.Wait(child, &status);
  std::cout << "\033[2K" << std::flush;
}

}  // namespace kickstand
