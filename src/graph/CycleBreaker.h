#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kickstand {

class Node;

/// Finds dependency cycles before anything runs and breaks each by dropping
/// the edge that closes it, so that every node still runs and no wait hangs.
class CycleBreaker {
 public:
  /// Walks the graph from roots along dependencies. Every cycle found is
  /// reported ("Kickstand dependency error: " and its description) and one
  /// of its edges removed (every copy of it). Returns the report texts in the
  /// order found.
  static std::vector<std::string> BreakCycles(
      const std::vector<Node*>& roots, const std::function<void(const std::string&)>& report);

  /// `dependency cycle "a" -> "b" -> "a"; ignoring the dependency of "b" on "a"`
  /// for a cycle in which each node waits for the next.
  static std::string Describe(const std::vector<Node*>& cycle);
};

}  // namespace kickstand
