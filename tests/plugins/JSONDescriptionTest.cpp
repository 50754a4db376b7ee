#include <sstream>
#include <gtest/gtest.h>

#include "plugins/JSONDescription.h"
#include "util/Exception.h"

namespace kickstand {
namespace {

JSONDescription Parse(const std::string& text) {
  std::istringstream in(text);
  return JSONDescription::Parse("/p/x.json", in);
}

std::string Doc(const std::string& metadata, const std::string& operations = R"("start": [])") {
  return "{\"metadata\": {" + metadata + "}, \"operations\": {" + operations + "}}";
}

std::string Corrupt(const std::string& field) {
  return "metadata is corrupt (unable to parse " + field + ")";
}

TEST(JSONDescriptionTest, RejectsWithTheFirstProblemFound) {
  const std::string v1 = R"("version": 1, "requires": [], "provides": [])";
  const std::string v2 = R"("version": 2, "requires": [], "provides": [])";
  const std::string v3 = R"("version": 3, "requires": [], "provides": [], )";
  const std::pair<std::string, std::string> cases[] = {
      {"[1, 2]", "plugin root is not an object"},
      {"{}", "invalid metadata interface"},
      {R"({"metadata": []})", "invalid metadata interface"},
      {Doc(R"("version": "1")"), Corrupt("version")},
      {Doc(R"("version": 0.9, "requires": 5)"), "Unsupported API version"},
      {Doc(R"("version": 5)"), "Unsupported API version"},
      {Doc(R"("version": 1e300)"), "Unsupported API version"},
      {Doc(R"("version": 1, "provides": [])"), Corrupt("requires")},
      {Doc(R"("version": 1, "requires": ["a", 7], "provides": 1)"), "requires tag is not a string"},
      {Doc(R"("version": 1, "requires": [], "provides": {})"), Corrupt("provides")},
      {Doc(v3 + R"("required_flags": "a")"), Corrupt("required_flags")},
      {Doc(v3 + R"("disabling_flags": [1])"), "disabling_flags tag is not a string"},
      {Doc(v3 + R"("plugin_version": "1")"), Corrupt("run_once")},
      {Doc(v3 + R"("run_once": 1, "plugin_version": "1")"), Corrupt("run_once")},
      {Doc(v3 + R"("run_once": true, "plugin_version": 1)"), Corrupt("plugin_version")},
      {"{\"metadata\": {" + v1 + "}}", "invalid operations interface"},
      {Doc(v1, ""), "operations is corrupt (unable to parse start)"},
      {Doc(v1, R"("start": ["a", 1])"), "command is not a string"},
      {Doc(v2, R"("start": [], "apply_host_profile": "x")"),
       "operations is corrupt (unable to parse apply-host-profile)"},
      {Doc(v2, R"("start": [], "apply_host_profile": [true])"), "command is not a string"},
  };
  for (const auto& [text, reason] : cases) {
    try {
      Parse(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const InvalidPluginException& e) {
      EXPECT_EQ("plugin `/p/x.json' is invalid: " + reason, e.what()) << text;
    }
  }
}

// The plugin run tests show the fields of version 3 at work, and the demo's
// plugins (Install.package) comments.
TEST(JSONDescriptionTest, TruncatesTheVersionAndReadsOnlyWhatItHas) {
  JSONDescription v1 = Parse(Doc(R"("version": 1.9, "requires": [], "provides": [],
      "run_once": true, "plugin_version": "2", "disabling_flags": ["d"])",
                                 R"("start": [], "apply_host_profile": ["p"])"));
  EXPECT_EQ(1, v1.apiVersion);
  EXPECT_FALSE(v1.runOnce || v1.supportsHostProfile || !v1.pluginVersion.empty() ||
               !v1.disablingFlags.empty() || !v1.hostProfileCommands.empty());
}

}  // namespace
}  // namespace kickstand
