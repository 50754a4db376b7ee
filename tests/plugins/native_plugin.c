// One native plugin, varied by compile definitions: VERSION (default 3),
// START_FAILURE (a statement that ends the process, or never returns, before
// start returns),
// NO_METADATA and NO_HOST_PROFILE (symbol or entry left out).
// Each operation that returns appends "native <operation> <version>" to
// $KICKSTAND_ROOT/var/log/order.log.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <kickstand/native_plugin.h>

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
  return fclose(file) != 0;
}

static int Start(void) {
#ifdef START_FAILURE
  START_FAILURE;
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
