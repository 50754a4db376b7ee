/* One native plugin, varied by compile definitions:
 *   VERSION         API version in the metadata (default 3)
 *   START_EXIT      start ends the process with this status (instead of returning 0)
 *   START_SIGNAL    start kills the process with this signal
 *   NO_METADATA     no "metadata" symbol
 *   NO_HOST_PROFILE no apply-host-profile entry
 * Every operation that returns appends "<operation> <version>" to
 * $KICKSTAND_ROOT/var/log/order.log. */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "plugins/NativePluginInterface.h"

#ifndef VERSION
#define VERSION 3
#endif

static int Record(const char* operation) {
  char path[4096];
  snprintf(path, sizeof path, "%s/var/log/order.log", getenv("KICKSTAND_ROOT"));
  FILE* file = fopen(path, "a");
  if (!file)
    return 1;
  fprintf(file, "native %s %d\n", operation, VERSION);
  fclose(file);
  return 0;
}

static int Start(void) {
#ifdef START_EXIT
  _exit(START_EXIT);
#endif
#ifdef START_SIGNAL
  raise(START_SIGNAL);
#endif
  return Record("start");
}

#ifndef NO_METADATA
static const char* const requiredBarriers[] = {"net", NULL};
static const char* const providedBarriers[] = {"app", NULL};
static const char* const requiredFlags[] = {"needed", NULL};
static const char* const disablingFlags[] = {"off", NULL};

const struct KickstandNativeMetadata metadata = {
    VERSION, requiredBarriers, providedBarriers, "1.0", 1, requiredFlags, disablingFlags};
#endif

#ifdef NO_HOST_PROFILE
const struct KickstandNativeOperations operations = {Start, NULL};
#else
static int ApplyHostProfile(void) { return Record("apply_host_profile"); }

const struct KickstandNativeOperations operations = {Start, ApplyHostProfile};
#endif
