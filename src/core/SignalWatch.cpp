#include "core/SignalWatch.h"

#include <cstdio>
#include <future>
#include <pthread.h>
#include <unistd.h>

#include "util/Interruption.h"

namespace kickstand {

SignalWatch::SignalWatch(Interruption& interruption, std::function<void()> heard)
    : interruption_(interruption), heard_(std::move(heard)) {
  sigemptyset(&signals_);
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&signals_, signal);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
  std::promise<void> waiting;
  thread_ = std::thread(&SignalWatch::Watch, this, &waiting);
  // Until then the new thread may hold locks of the allocator, which a child
  // forked meanwhile (the command executor) would find taken for good.
  waiting.get_future().wait();
}

// A signal sent to the watch's thread alone ends its wait.
SignalWatch::~SignalWatch() {
  stopping_ = true;
  pthread_kill(thread_.native_handle(), SIGHUP);
  thread_.join();
}

void SignalWatch::Watch(std::promise<void>* waiting) {
  waiting->set_value();
  for (;;) {
    int signal = 0;
    if (sigwait(&signals_, &signal) != 0)
      continue;
    if (stopping_)
      return;
    if (!interruption_.Interrupted()) {
      heard_();
      interruption_.Interrupt(signal);
    }
  }
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
