#include "commandexec/ConnectionWorkers.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kickstand {

ConnectionWorkers::ConnectionWorkers(size_t limit, std::function<void(int connection)> serve)
    : limit_(limit > 0 ? limit : 1), serve_(std::move(serve)) {
  if (pipe2(wake_, O_CLOEXEC) != 0)
    wake_[0] = wake_[1] = -1;
  // The first thread starts now rather than on the first client's path.
  threads_.emplace_back(&ConnectionWorkers::Work, this);
}

ConnectionWorkers::~ConnectionWorkers() {
  Drain();
  close(wake_[0]);
  close(wake_[1]);
}

void ConnectionWorkers::Add(uint64_t number, int connection) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.emplace(number, connection);
    // A thread already woken still counts as idle, so this starts one only
    // when the idle ones cannot take every waiting connection.
    if (waiting_.size() > idle_ && threads_.size() < limit_)
      threads_.emplace_back(&ConnectionWorkers::Work, this);
  }
  Wake(1);
}

void ConnectionWorkers::Drain() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    draining_ = true;
  }
  Wake(threads_.size());
  for (std::thread& thread : threads_)
    thread.join();
  threads_.clear();
}

void ConnectionWorkers::Wake(size_t threads) {
  for (size_t i = 0; i < threads; ++i) {
    char token = 0;
    while (write(wake_[1], &token, 1) < 0 && errno == EINTR) {
    }
  }
}

// Each byte read stands for a connection added, so one is waiting, or else
// for the end of the drain.
void ConnectionWorkers::Work() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++idle_;
    }
    char token;
    ssize_t got;
    while ((got = read(wake_[0], &token, 1)) < 0 && errno == EINTR) {
    }
    int connection;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --idle_;
      if (got != 1 || (waiting_.empty() && draining_))
        return;
      connection = waiting_.begin()->second;
      waiting_.erase(waiting_.begin());
    }
    serve_(connection);
  }
}

}  // namespace kickstand
