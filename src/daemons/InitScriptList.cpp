#include "daemons/InitScriptList.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

#include "core/Process.h"
#include "platform/HostPath.h"
#include "platform/HostPaths.h"
#include "platform/Spawner.h"
#include "util/Exception.h"

namespace kickstand {
namespace {

const char kFailure[] = "Failed obtaining list of init.d scripts";

void AddLines(const std::string& text, InitScriptList* list) {
  std::istringstream lines(text);
  InitScriptList read = ReadInitScripts(lines);
  list->insert(read.begin(), read.end());  // each after those of its priority
}

/// The listing as it arrives, a line at a time, so that no read waits past
/// the deadline, which throws. Throws kickstand::Exception when the pipe
/// cannot be read.
InitScriptList ReadListing(int fd, const Deadline& deadline) {
  InitScriptList list;
  std::string pending;
  char chunk[4096];
  for (;;) {
    if (!deadline.AwaitReadable(fd))
      deadline.Reached();
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      throw Exception(kFailure);
    if (got == 0)
      break;
    pending.append(chunk, static_cast<size_t>(got));
    size_t lineEnd = pending.rfind('\n');
    if (lineEnd != std::string::npos) {
      AddLines(pending.substr(0, lineEnd + 1), &list);
      pending.erase(0, lineEnd + 1);
    }
  }
  AddLines(pending, &list);
  return list;
}

/// The listing of child, which writes it to fd. When the deadline comes
/// first, the child's process group is ended and the deadline thrown.
InitScriptList Collect(platform::Spawner& spawner, pid_t child, int fd,
                       const Deadline& deadline) {
  InitScriptList list;
  int status = 0;
  try {
    list = ReadListing(fd, deadline);
  } catch (...) {
    spawner.End(child, &status);
    throw;
  }
  WaitBefore(spawner, child, deadline, &status);
  return list;
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

InitScriptList ListInitScripts(platform::Spawner& spawner, const Deadline& deadline) {
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
  std::optional<std::string> failure;
  try {
    if (child >= 0)
      list = Collect(spawner, child, pipeEnds[0], deadline);
  } catch (const CutShortException& e) {
    failure = std::string(kFailure) + ": " + request.arguments[0] + " -p " + e.what();
  } catch (...) {
    failure = kFailure;
  }
  close(pipeEnds[0]);
  if (failure)
    throw Exception(*failure);
  return list;
}

}  // namespace kickstand
