#pragma once
#include <string>
#include <vector>

#include "graph/Node.h"

namespace kickstand {

/// A named barrier: started once all its providers have started; the
/// plugins that require it start after it. Barriers are kept in one
/// process-wide registry in byte-wise name order and never freed.
class InitBarrier : public Node {
 public:
  explicit InitBarrier(const std::string& name);

  /// The registered barrier of that name, whatever its class; when there is
  /// none, a new InitBarrier if create is set, else null.
  static InitBarrier* Get(const std::string& name, bool create);
  /// Every registered barrier in name order.
  static std::vector<InitBarrier*> All();
  /// Frees every barrier and forgets every priority, for a process that
  /// builds more than one graph (the tests); no node may still refer to one.
  static void ClearRegistry();

  /// Enters this barrier under name, replacing any entry of that name.
  void Register(const std::string& name);

  /// The missing-provider check.
  void Activate() override;
  std::string DotAttributes() const override { return " shape=box"; }

 private:
  std::string MissingProviderText() const;
};

}  // namespace kickstand
