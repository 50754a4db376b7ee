#include "core/SignalWatch.h"

#include <csignal>
#include <cstdio>
#include <future>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include "util/Interruption.h"

namespace kickstand {

SignalWatch::SignalWatch(Interruption& interruption, std::function<void()> heard) {
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::promise<void> waiting;
  std::thread([state = state_, signals, &interruption, heard = std::move(heard), &waiting] {
    waiting.set_value();
    for (;;) {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0)
        continue;
      std::lock_guard<std::mutex> lock(state->mutex);
      if (!state->over && !interruption.Interrupted()) {
        heard();
        interruption.Interrupt(signal);
      }
    }
  }).detach();
  // Until then the new thread may hold locks of the allocator, which a child
  // forked meanwhile (the command executor) would find taken for good.
  waiting.get_future().wait();
}

SignalWatch::~SignalWatch() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->over = true;
}

void SignalWatch::EndBy(int signal) {
  fflush(nullptr);
  std::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached: the default action of the three ends the process
}

}  // namespace kickstand
