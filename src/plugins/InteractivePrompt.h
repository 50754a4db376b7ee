#pragma once

namespace kickstand {

class Plugin;

/// The console question asked before each plugin in interactive mode.
class InteractivePrompt {
 public:
  enum Outcome { Proceed, Skip };
  static Outcome Ask(Plugin& plugin);
};

}  // namespace kickstand
