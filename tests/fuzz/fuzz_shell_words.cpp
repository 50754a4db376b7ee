// Whatever splits must split into the same words again once each word is
// quoted for the shell: the splitter reads words as a shell does.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/tessel/ShellWords.h"
#include "util/ShellQuoted.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words, again;
  std::string error;
  std::string line(reinterpret_cast<const char*>(data), size);
  if (!Tessel::AutoCli::SplitShellWords(line, words, error))
    return 0;
  std::string quoted;
  for (const std::string& word : words)
    quoted += kickstand::ShellQuoted(word) + " ";
  if (!Tessel::AutoCli::SplitShellWords(quoted, again, error) || again != words)
    abort();
  return 0;
}
