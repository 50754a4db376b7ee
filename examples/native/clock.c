/* Demo native plugin: sets the clock once the network is up. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <kickstand/native_plugin.h>

static const char* const requiredBarriers[] = {"network", NULL};
static const char* const providedBarriers[] = {"time", NULL};

static void Record(const char* what) {
  char path[4096];
  const char* root = getenv("KICKSTAND_ROOT");
  snprintf(path, sizeof path, "%s/var/log/demo-activity.log", root ? root : "");
  FILE* log = fopen(path, "a");
  if (!log)
    return;
  char now[16];
  time_t seconds = time(NULL);
  strftime(now, sizeof now, "%H:%M:%S", localtime(&seconds));
  fprintf(log, "%s %s clock (native)\n", now, what);
  fclose(log);
}

static int Start(void) {
  Record("start");
  sleep(1);
  Record("done ");
  return 0;
}

const struct KickstandNativeMetadata metadata = {
    .version = 3,
    .requiredBarriers = requiredBarriers,
    .providedBarriers = providedBarriers,
    .pluginVersion = "1.0",
};

const struct KickstandNativeOperations operations = {.start = Start};
