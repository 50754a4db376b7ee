#pragma once
#include <map>
#include <string>

/// Configuration dictionary of the base utility library: string keys to text.
struct Dictionary {
  std::map<std::string, std::string> values;
};

Dictionary* Dictionary_Create();
void Dict_SetString(Dictionary* dict, const char* value, const char* name);
void Dict_SetBool(Dictionary* dict, bool value, const char* name);
void Dictionary_Clear(Dictionary* dict);
void Dictionary_Free(Dictionary* dict);
/// The value of name, or fallback when it is not set.
std::string Dict_GetString(const Dictionary* dict, const char* name,
                           const std::string& fallback);
