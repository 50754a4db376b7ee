#include "support/GraphNodes.h"

#include <algorithm>

namespace testing_support {

void RunRecord::Add(const std::string& event) {
  std::lock_guard<std::mutex> guard(mutex_);
  events_.push_back(event);
}

void RunRecord::Clear() {
  std::lock_guard<std::mutex> guard(mutex_);
  events_.clear();
}

std::vector<std::string> RunRecord::Events() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return events_;
}

int RunRecord::IndexOf(const std::string& event) const {
  std::lock_guard<std::mutex> guard(mutex_);
  auto found = std::find(events_.begin(), events_.end(), event);
  return found == events_.end() ? -1 : static_cast<int>(found - events_.begin());
}

void TestNode::Activate() {
  ++activations;
  if (action)
    action();
  record_.Add(Name());
}

}  // namespace testing_support
