#pragma once
#include <cstdint>

#include "graph/InitBarrier.h"

namespace kickstand {

/// Chains init.d services by start priority: the barrier of a priority
/// waits for its members and for the barrier of the next lower priority,
/// and every member waits for the barrier of the next lower priority.
class PriorityBarrier : public InitBarrier {
 public:
  /// The barrier of that priority in graph, created and chained in when
  /// missing; null when its name belongs to a barrier of another class.
  static PriorityBarrier* Get(Graph& graph, uint32_t priority);

  /// The caller holds the global lock across Get and AddMember.
  void AddMember(Node* plugin);

  uint32_t Priority() const { return priority_; }
  void Activate() override {}
  std::string DotAttributes() const override { return " shape=trapezium"; }

 private:
  PriorityBarrier(Graph& graph, uint32_t priority);
  static std::string NameOf(uint32_t priority);
  PriorityBarrier* AtIndex(size_t index);
  void AdoptNextPriority(PriorityBarrier* next);
  size_t Index();

  uint32_t indexHint_ = UINT32_MAX;
  uint32_t priority_;
};

}  // namespace kickstand
