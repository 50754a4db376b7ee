#include "util/RegularFileStream.h"

#include "platform/OpenRegularFile.h"

namespace kickstand {

namespace io = boost::iostreams;

RegularFileStream::RegularFileStream(const std::string& path) {
  std::string failure;
  int fd = platform::OpenRegularFile(path, &failure);
  if (fd >= 0)
    open(io::file_descriptor_source(fd, io::close_handle));
  else
    setstate(std::ios_base::failbit);
}

}  // namespace kickstand
