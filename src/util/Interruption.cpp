#include "util/Interruption.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kickstand {

Interruption::Interruption() {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_) != 0)
    ends_[0] = ends_[1] = -1;  // waits then see no hang-up; the flag still counts
}

Interruption::~Interruption() {
  close(ends_[0]);
  close(ends_[1]);
}

void Interruption::Interrupt(int signal) {
  int none = 0;
  if (signal_.compare_exchange_strong(none, signal))
    shutdown(ends_[0], SHUT_RDWR);
}

std::string Interruption::What() const { return "interrupted by " + SignalName(Signal()); }

std::string Interruption::SignalName(int signal) {
  switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
  }
}

}  // namespace kickstand
