#include "plugins/OpenPluginFile.h"

#include "platform/OpenRegularFile.h"
#include "util/Exception.h"

namespace kickstand {

int OpenPluginFile(const std::string& path) {
  std::string failure;
  int fd = platform::OpenRegularFile(path, &failure);
  if (fd < 0)
    throw InvalidPluginException(path, failure);
  return fd;
}

}  // namespace kickstand
