/* The binary interface of native plugins: the two data symbols a plugin
 * shared object exports. Plain C so that plugins can be written in C. */
#ifndef KICKSTAND_NATIVE_PLUGIN_INTERFACE_H
#define KICKSTAND_NATIVE_PLUGIN_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported as "metadata". String lists are null-terminated arrays; any list
 * pointer may be null. Fields after providedBarriers are read only from
 * version 3 on. */
struct KickstandNativeMetadata {
  int32_t version;
  const char* const* requiredBarriers;
  const char* const* providedBarriers;
  const char* pluginVersion;
  unsigned char runOnce;
  const char* const* requiredFlags;
  const char* const* disablingFlags;
};

/* Exported as "operations". Each entry returns 0 on success; a null entry
 * is an operation the plugin does not offer. */
struct KickstandNativeOperations {
  int (*start)(void);
  int (*applyHostProfile)(void);
};

#ifdef __cplusplus
}
#endif

#endif
