#pragma once
#include "platform/tessel/Dispatcher.h"

namespace kickstand {

/// The command framework's dispatcher set up with the directories that
/// describe the tarncli command tree. Used only in the executor process.
class TarncliDispatcher : public Tessel::AutoCli::Dispatcher {
 public:
  /// Created at the first call and kept until the process ends; any thread
  /// may ask.
  static TarncliDispatcher* GetInstance();

  /// Adds the four external directories in their fixed order; a refused
  /// directory is logged and skipped.
  TarncliDispatcher();
  ~TarncliDispatcher() override = default;
};

}  // namespace kickstand
