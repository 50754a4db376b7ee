// Runs one operation of a native plugin in a process of its own, so that a
// crashing plugin cannot take kickstand down with it.
//
//   nativeExecutor <shared object> <plugin name> <start|apply_host_profile>
//
// Exit status 0 when the operation returned 0, 1 when it returned anything
// else, 2 when it could not be run.
#include <cstdio>
#include <cstring>
#include <dlfcn.h>

#include "kickstand/native_plugin.h"

namespace {

typedef int (*Operation)(void);

int Fail(const char* plugin, const char* what, const char* detail) {
  fprintf(stderr, "nativeExecutor: %s: %s: %s\n", plugin, what, detail);
  return 2;
}

Operation Entry(const KickstandNativeOperations& operations, const char* method) {
  if (strcmp(method, "start") == 0)
    return operations.start;
  if (strcmp(method, "apply_host_profile") == 0)
    return operations.applyHostProfile;
  return nullptr;
}

bool KnownMethod(const char* method) {
  return strcmp(method, "start") == 0 || strcmp(method, "apply_host_profile") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: nativeExecutor <shared object> <plugin name> <method>\n");
    return 2;
  }
  const char* path = argv[1];
  const char* plugin = argv[2];
  const char* method = argv[3];
  if (!KnownMethod(method))
    return Fail(plugin, "unknown method", method);
  void* handle = dlopen(path, RTLD_LAZY | RTLD_GLOBAL);
  if (!handle)
    return Fail(plugin, "cannot load", dlerror());
  dlerror();
  auto* operations = static_cast<const KickstandNativeOperations*>(dlsym(handle, "operations"));
  if (const char* error = dlerror())
    return Fail(plugin, "no \"operations\"", error);
  Operation entry = operations ? Entry(*operations, method) : nullptr;
  if (!entry)
    return Fail(plugin, "operation not offered", method);
  int result = entry();
  if (result == 0)
    return 0;
  fprintf(stderr, "nativeExecutor: %s: %s returned %d\n", plugin, method, result);
  return 1;
}
