#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <utility>

namespace kickstand {

class Node;
class TimeChains;

/// Nodes ready to run, grouped by urgency so that the most urgent is found
/// in O(log n): lowest scheduling class first, then longest path length (or
/// chain in time), then the earliest queued. Guarded by the global lock.
class ReadyQueue {
 public:
  /// With chains, a node's chain in time stands for its path length; they
  /// must outlive the queue.
  explicit ReadyQueue(const TimeChains* chains = nullptr) : chains_(chains) {}
  bool Empty() const { return buckets_.empty(); }
  size_t Size() const { return size_; }
  void Push(Node* node);
  /// Removes and returns the most urgent node; with a generator, a random
  /// one among the equally urgent, counted in queue order.
  Node* PopNext(std::mt19937* random);

 private:
  // Class ascending, then path length (or chain in time) descending.
  using Key = std::pair<uint32_t, int64_t>;
  struct Urgency {
    bool operator()(const Key& a, const Key& b) const {
      return a.first != b.first ? a.first < b.first : a.second > b.second;
    }
  };
  const TimeChains* chains_;
  std::map<Key, std::deque<Node*>, Urgency> buckets_;
  size_t size_ = 0;
};

}  // namespace kickstand
