#include "daemons/InitScriptList.h"

#include <cstdio>
#include <sstream>
#include <boost/iostreams/device/file_descriptor.hpp>
#include <boost/iostreams/stream.hpp>

#include "platform/HostPath.h"
#include "util/Exception.h"
#include "util/ShellQuoted.h"

namespace kickstand {
namespace {

InitScriptList ReadPipe(int fd) {
  namespace io = boost::iostreams;
  io::stream<io::file_descriptor_source> in(fd, io::never_close_handle);
  in.exceptions(std::ios::badbit);
  return ReadInitScripts(in);
}

}  // namespace

InitScriptList ReadInitScripts(std::istream& in) {
  InitScriptList list;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string path;
    int32_t priority = 0;
    if (fields >> path >> priority)
      list.emplace(priority, path);
  }
  return list;
}

InitScriptList ListInitScripts() {
  InitScriptList list;
  std::string command = ShellQuoted(platform::HostPath("/bin/chkconfig")) + " -p";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return list;
  int fd = fileno(pipe);
  try {
    if (fd > 0)
      list = ReadPipe(fd);
  } catch (...) {
    pclose(pipe);
    throw Exception("Failed obtaining list of init.d scripts");
  }
  pclose(pipe);
  return list;
}

}  // namespace kickstand
