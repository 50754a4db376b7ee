#include "platform/ProductState.h"

const char* ProductState_GetName() { return "kickstand"; }
const char* ProductState_GetVersion() { return KICKSTAND_VERSION; }
const char* ProductState_GetBuildNumberString() { return "build-0"; }

const char* ProductState_GetCompilationOption() {
#ifdef NDEBUG
  return "release";
#else
  return "debug";
#endif
}
