#include "graph/Executor.h"

#include <string>
#include <system_error>

#include "graph/Node.h"
#include "util/Exception.h"
#include "util/GlobalLock.h"

namespace kickstand {

Executor::Executor(int threadCount, bool randomize, uint64_t seed, const TimeChains* chains)
    : readyQueue_(chains),
      randomize_(randomize),
      random_(static_cast<std::mt19937::result_type>(seed)) {
  StartWorkers(threadCount);
}

Executor::~Executor() { Shutdown(); }

void Executor::StartWorkers(int threadCount) {
  for (int i = 0; i < threadCount; ++i) {
    try {
      threads_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      Shutdown();
      throw Exception("Could not create enough execution threads. (" +
                      std::to_string(threads_.size()) + " created, " +
                      std::to_string(threadCount) + "requested)");
    }
  }
}

void Executor::Shutdown() {
  {
    ScopedLock lock;
    shuttingDown_ = true;
    workAvailable_.notify_all();
  }
  for (std::thread& thread : threads_) {
    if (thread.joinable())
      thread.join();
  }
}

void Executor::Enqueue(Node* node) {
  ScopedLock lock;
  readyQueue_.Push(node);
  workAvailable_.notify_all();
}

void Executor::WorkerLoop() {
  ScopedLock lock;
  while (!shuttingDown_) {
    if (readyQueue_.Empty())
      lock.Wait(workAvailable_);
    else
      ProcessNext();
  }
}

void Executor::RunQueued() {
  ScopedLock lock;
  while (!readyQueue_.Empty())
    ProcessNext();
}

void Executor::ProcessNext() {
  Node* node = readyQueue_.PopNext(randomize_ ? &random_ : nullptr);
  GlobalMutex().unlock();
  node->Process(*this);
  GlobalMutex().lock();
}

}  // namespace kickstand
