#pragma once
#include <optional>
#include <string>

namespace platform {

/// How a child process ended, as waitpid reports it, and the one place that
/// puts that into words. Each message of the system keeps its own wording
/// through a Words value.
class ExitStatus {
 public:
  /// The texts around the number in a failure message: after "exited" comes
  /// the exit code, after "signalled" the signal number (and its name in
  /// parentheses with signalName); "other" stands alone.
  struct Words {
    const char* exited;
    const char* signalled;
    const char* other;
    bool signalName = false;
  };

  explicit ExitStatus(int raw) : raw_(raw) {}

  /// A normal exit with code 0.
  bool Succeeded() const;
  /// The wait status itself.
  int Raw() const { return raw_; }
  /// Nothing when the child succeeded, else why it did not, in words.
  std::optional<std::string> Failure(const Words& words) const;

 private:
  int raw_;
};

}  // namespace platform
