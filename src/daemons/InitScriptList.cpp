#include "daemons/InitScriptList.h"

#include <fcntl.h>
#include <sstream>
#include <boost/iostreams/device/file_descriptor.hpp>
#include <boost/iostreams/stream.hpp>
#include <unistd.h>

#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Spawner.h"
#include "util/Exception.h"

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

InitScriptList ListInitScripts(platform::Spawner& spawner) {
  InitScriptList list;
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0)
    return list;
  platform::SpawnRequest request;
  request.arguments = {platform::HostPath(platform::paths::kServiceLister), "-p"};
  request.dup2s = {{pipeEnds[1], STDOUT_FILENO}};
  request.newProcessGroup = true;
  pid_t child = spawner.Spawn(request);
  close(pipeEnds[1]);
  bool readable = true;
  try {
    if (child >= 0)
      list = ReadPipe(pipeEnds[0]);
  } catch (...) {
    readable = false;
  }
  close(pipeEnds[0]);
  int status = 0;
  if (child >= 0)
    spawner.Wait(child, &status);
  if (!readable)
    throw Exception("Failed obtaining list of init.d scripts");
  return list;
}

}  // namespace kickstand
