// Whatever a client sends, the executor's handling of its connection ends
// with the stop request and no reply, or with one status, 0 or 1. No reply
// reads as the end of the stream, or as a reset when the executor closed
// the connection with bytes of an overlong request still unread.
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "QuietLog.h"
#include "commandexec/ControlProtocol.h"
#include "commandexec/TarncliExecutor.h"

// A relocation root that cannot exist (nothing is below /dev/null): no
// command directory, so every command line that parses names an unknown
// command and nothing is run.
[[maybe_unused]] static const bool kNoCommands =
    setenv("KICKSTAND_ROOT", "/dev/null/root", 1) == 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return 0;
  // What does not fit the socket's buffer is left out: the executor reads
  // no more than a request's size anyway.
  (void)!send(ends[0], data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
  shutdown(ends[0], SHUT_WR);
  bool stop = kickstand::TarncliExecutor::HandleControlConnection(ends[1]);
  close(ends[1]);
  kickstand::control::Status status = -1;
  ssize_t got = recv(ends[0], &status, sizeof status, 0);
  close(ends[0]);
  if (stop ? got > 0 : got != sizeof status || (status != 0 && status != 1))
    __builtin_trap();
  return 0;
}
