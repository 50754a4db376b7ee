#include "plugins/InteractivePrompt.h"

namespace kickstand {

// Placeholder until the console dialogue lands: never asks.
InteractivePrompt::Outcome InteractivePrompt::Ask(Plugin&) { return Proceed; }

}  // namespace kickstand
