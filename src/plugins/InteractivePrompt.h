#pragma once
#include <string>

namespace kickstand {

class Console;
class RunOptions;

/// The console question asked before each plugin in interactive mode:
/// continue without further questions, execute, troubleshoot in a shell
/// first, or skip.
class InteractivePrompt {
 public:
  enum Outcome { Proceed, Skip };

  /// options is the run's own record: continuing without further questions
  /// clears its interactive flag, which the profiling log then shows.
  InteractivePrompt(Console& console, RunOptions& options)
      : console_(console), options_(options) {}
  Outcome Step(const std::string& name);

 private:
  bool PassesRequiresGate(const std::string& name);
  void WriteQuestion(const std::string& name);
  char ReadAnswerUnechoed();
  char ReadAnswer();
  Outcome Act(char answer, const std::string& name);
  void WriteChoices(char chosen);
  void ShowChoices(char chosen);

  Console& console_;
  RunOptions& options_;
};

}  // namespace kickstand
