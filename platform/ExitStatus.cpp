#include "platform/ExitStatus.h"

#include <cstring>
#include <sys/wait.h>

namespace platform {

bool ExitStatus::Succeeded() const {
  return WIFEXITED(raw_) && WEXITSTATUS(raw_) == 0;
}

std::optional<std::string> ExitStatus::Failure(const Words& words) const {
  if (Succeeded())
    return std::nullopt;
  if (WIFEXITED(raw_))
    return words.exited + std::to_string(WEXITSTATUS(raw_));
  if (!WIFSIGNALED(raw_))
    return std::string(words.other);
  std::string text = words.signalled + std::to_string(WTERMSIG(raw_));
  if (words.signalName)
    text += std::string(" (") + strsignal(WTERMSIG(raw_)) + ")";
  return text;
}

}  // namespace platform
