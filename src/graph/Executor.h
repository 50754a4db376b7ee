#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "graph/ReadyQueue.h"

namespace kickstand {

class Node;

/// The worker pool that runs the graph. Workers take the most urgent ready
/// node, run it without the global lock and let its completion release its
/// neighbours. Destruction stops and joins the workers; queued nodes that no
/// worker took are left unrun.
class Executor {
 public:
  /// Throws kickstand::Exception when not every worker could be created.
  /// The tie-break generator is seeded with seed, so randomised runs repeat.
  Executor(int threadCount, bool randomize, uint64_t seed);
  virtual ~Executor();
  Executor(const Executor&) = delete;
  Executor& operator=(const Executor&) = delete;

  /// Hands a node that has just become queued to the workers.
  void Enqueue(Node* node);

 private:
  void StartWorkers(int threadCount);
  void WorkerLoop();
  void Shutdown();

  std::condition_variable_any workAvailable_;
  ReadyQueue readyQueue_;
  std::vector<std::thread> threads_;
  bool shuttingDown_ = false;
  bool randomize_;
  std::mt19937 random_;
};

}  // namespace kickstand
