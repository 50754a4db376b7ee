#pragma once
#include <string>
#include <vector>

#include "graph/Node.h"

namespace kickstand {

class Graph;

/// A named barrier: started once all its providers have started; the
/// plugins that require it start after it. Barriers are kept in their
/// graph's registry in byte-wise name order.
class InitBarrier : public Node {
 public:
  /// A barrier of graph, owned by it but not yet registered.
  InitBarrier(Graph& graph, const std::string& name);

  /// The registered barrier of that name, whatever its class; when there is
  /// none, a new InitBarrier if create is set, else null.
  static InitBarrier* Get(Graph& graph, const std::string& name, bool create);
  /// Every registered barrier in name order.
  static std::vector<InitBarrier*> All(Graph& graph);

  /// Enters this barrier under name, replacing any entry of that name.
  void Register(const std::string& name);

  /// The missing-provider check.
  void Activate() override;
  std::string DotAttributes() const override { return " shape=box"; }

  /// What the missing-provider check reports: the barrier and every plugin
  /// that requires it.
  std::string MissingProviderText() const;

 protected:
  Graph& graph_;
};

}  // namespace kickstand
