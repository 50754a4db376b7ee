#pragma once
#include <string>
#include <utility>
#include <vector>

namespace Tessel {
namespace CallSpec {

/// The parameters of one call, in the order they were given.
class Input {
 public:
  virtual ~Input() = default;
  void AddParameter(const std::string& name, const std::string& value) {
    parameters_.emplace_back(name, value);
  }
  const std::vector<std::pair<std::string, std::string>>& Parameters() const {
    return parameters_;
  }

 private:
  std::vector<std::pair<std::string, std::string>> parameters_;
};

/// What a call produced; only its errors are kept.
class Output {
 public:
  virtual ~Output() = default;
  bool HasError() const { return !errors_.empty(); }
  const std::vector<std::string>& GetErrors() const { return errors_; }
  void AddError(const std::string& error) { errors_.push_back(error); }

 private:
  std::vector<std::string> errors_;
};

}  // namespace CallSpec
}  // namespace Tessel
