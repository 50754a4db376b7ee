#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "graph/Node.h"

namespace testing_support {

/// Shared record of the order in which test nodes ran.
class RunRecord {
 public:
  void Add(const std::string& event);
  void Clear();
  std::vector<std::string> Events() const;
  /// Position of event, or -1.
  int IndexOf(const std::string& event) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

/// A graph node whose start and stop work records its name; an optional
/// action runs inside Activate (to block, throw or check neighbours).
class TestNode : public kickstand::Node {
 public:
  TestNode(const std::string& name, RunRecord& record, uint32_t schedulingClass = 1)
      : Node(name, schedulingClass), record_(record) {}

  void Activate() override;
  void Deactivate() override { record_.Add("stop " + Name()); }
  std::string DotAttributes() const override { return ""; }

  std::function<void()> action;
  std::atomic<int> activations{0};

 private:
  RunRecord& record_;
};

}  // namespace testing_support
