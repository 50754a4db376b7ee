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
class TimeChains;

/// The worker pool that runs the graph. Workers take the most urgent ready
/// node, run it without the global lock and let its completion release its
/// neighbours. Destruction stops and joins the workers; queued nodes that no
/// worker took are left unrun.
class Executor {
 public:
  /// Throws kickstand::Exception when not every worker could be created.
  /// The tie-break generator is seeded with seed, so randomised runs repeat.
  /// With chains (a start run), ready nodes are ordered by their chain in
  /// time instead of their height; chains must outlive the pool.
  Executor(int threadCount, bool randomize, uint64_t seed, const TimeChains* chains = nullptr);
  virtual ~Executor();
  Executor(const Executor&) = delete;
  Executor& operator=(const Executor&) = delete;

  /// Hands a node that has just become queued to the workers.
  void Enqueue(Node* node);
  /// For a pool without workers: runs queued nodes on the calling thread,
  /// most urgent first, until none is queued. Tests drive the graph one
  /// step at a time this way, with no thread and no timing.
  void RunQueued();

 private:
  void StartWorkers(int threadCount);
  void WorkerLoop();
  /// Takes the most urgent queued node and processes it; the caller holds
  /// the global lock exactly once, and holds it again afterwards.
  void ProcessNext();
  void Shutdown();

  std::condition_variable_any workAvailable_;
  ReadyQueue readyQueue_;
  std::vector<std::thread> threads_;
  bool shuttingDown_ = false;
  bool randomize_;
  std::mt19937 random_;
};

}  // namespace kickstand
