#include "platform/Dictionary.h"

Dictionary* Dictionary_Create() { return new Dictionary(); }

void Dict_SetString(Dictionary* dict, const char* value, const char* name) {
  dict->values[name] = value;
}

void Dict_SetBool(Dictionary* dict, bool value, const char* name) {
  dict->values[name] = value ? "true" : "false";
}

void Dictionary_Clear(Dictionary* dict) { dict->values.clear(); }

void Dictionary_Free(Dictionary* dict) { delete dict; }

std::string Dict_GetString(const Dictionary* dict, const char* name,
                           const std::string& fallback) {
  auto found = dict->values.find(name);
  return found == dict->values.end() ? fallback : found->second;
}
