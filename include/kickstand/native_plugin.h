/* kickstand native plugin interface.
 *
 * A native plugin is a shared object in kickstand's plugin directory, named
 * libNAME.so, that exports two data symbols:
 *
 *   const struct KickstandNativeMetadata metadata = {...};
 *   const struct KickstandNativeOperations operations = {...};
 *
 * kickstand reads "metadata" once, when it loads the plugin; each operation
 * runs later in a process of its own (the native executor). Build one with
 *
 *   cc -shared $(pkg-config --cflags kickstand-plugin) clock.c -o libclock.so
 *
 * The layout is fixed for 64-bit targets; the assertions at the end stop a
 * build whose layout differs. kickstand-plugins(5) describes every field. */
#ifndef KICKSTAND_NATIVE_PLUGIN_H
#define KICKSTAND_NATIVE_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Exported as "metadata". String lists are null-terminated arrays; any list
 * pointer may be null. Fields after providedBarriers are read only from
 * version 3 on. */
struct KickstandNativeMetadata {
  int32_t version;                        /* 1 to 4 */
  const char* const* requiredBarriers;    /* barriers this plugin waits for */
  const char* const* providedBarriers;    /* barriers that wait for this plugin */
  const char* pluginVersion;              /* with runOnce, the run-once key */
  unsigned char runOnce;                  /* non-zero: run once per pluginVersion */
  const char* const* requiredFlags;       /* boot flags that must all be given */
  const char* const* disablingFlags;      /* boot flags any one of which keeps it out */
};

/* Exported as "operations". Each entry returns 0 on success; a null entry
 * is an operation the plugin does not offer. */
struct KickstandNativeOperations {
  int (*start)(void);
  int (*applyHostProfile)(void); /* from version 2 on */
};

#ifdef __cplusplus
}
#define KICKSTAND_LAYOUT_CHECK(condition) static_assert(condition, "native plugin layout")
#else
#define KICKSTAND_LAYOUT_CHECK(condition) _Static_assert(condition, "native plugin layout")
#endif

KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeMetadata, requiredBarriers) == 8);
KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeMetadata, providedBarriers) == 16);
KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeMetadata, pluginVersion) == 24);
KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeMetadata, runOnce) == 32);
KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeMetadata, requiredFlags) == 40);
KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeMetadata, disablingFlags) == 48);
KICKSTAND_LAYOUT_CHECK(offsetof(struct KickstandNativeOperations, applyHostProfile) == 8);

#undef KICKSTAND_LAYOUT_CHECK

#endif
