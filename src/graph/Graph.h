#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kickstand {

class InitBarrier;
class Node;

/// The dependency graph of one run: it owns every node, plugins and
/// barriers alike, and holds the barrier registry and the priority list.
/// Nodes live as long as the graph; the run's worker pool must be gone first.
class Graph {
 public:
  Graph();
  ~Graph();
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  /// Takes node into the graph's keeping and returns it.
  template <typename T>
  T* Adopt(std::unique_ptr<T> node) {
    T* adopted = node.get();
    owned_.push_back(std::move(node));
    return adopted;
  }

  /// The barrier registry: names to barriers, in byte-wise name order
  /// (std::string compares characters as unsigned bytes, shorter prefix first).
  std::map<std::string, InitBarrier*>& Registry() { return registry_; }
  /// The priorities of the priority barriers, ascending, without duplicates.
  std::vector<uint32_t>& Priorities() { return priorities_; }

  /// Where the host alerts of the graph go (a barrier nobody provides); the
  /// host's alert by default. An invoke run keeps them quiet.
  std::function<void(const std::string& text)> alert;

  /// The whole graph as Graphviz text: the given nodes in order, then every
  /// barrier in name order.
  void WriteDot(std::ostream& out, const std::vector<Node*>& nodes) const;

 private:
  std::vector<std::unique_ptr<Node>> owned_;
  std::map<std::string, InitBarrier*> registry_;
  std::vector<uint32_t> priorities_;
};

}  // namespace kickstand
