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

std::string Rejection(const std::string& text) {
  try {
    Parse(text);
  } catch (const InvalidPluginException& e) {
    return e.what();
  }
  return "accepted";
}

const char kStart[] = R"("operations": {"start": []})";

std::string Metadata(const std::string& members) {
  return std::string(R"({"metadata": {)") + members + "}, " + kStart + "}";
}

struct RejectionCase {
  std::string text;
  std::string reason;
};

TEST(JSONDescriptionTest, RejectsWithTheFirstProblemFound) {
  const std::string base = R"("version": 1, "requires": [], "provides": [])";
  const std::string v3 = R"("version": 3, "requires": [], "provides": [], )";
  const RejectionCase cases[] = {
      {"[1, 2]", "plugin root is not an object"},
      {"{\"metadata\": ", "plugin root is not an object"},
      {"{}", "invalid metadata interface"},
      {R"({"metadata": []})", "invalid metadata interface"},
      {Metadata(R"("version": "1")"), "metadata is corrupt (unable to parse version)"},
      {Metadata(R"("version": 0.9, "requires": 5)"), "Unsupported API version"},
      {Metadata(R"("version": 5)"), "Unsupported API version"},
      {Metadata(R"("version": 1e300)"), "Unsupported API version"},
      {Metadata(R"("version": 1, "provides": [])"),
       "metadata is corrupt (unable to parse requires)"},
      {Metadata(R"("version": 1, "requires": ["a", 7], "provides": 1)"),
       "requires tag is not a string"},
      {Metadata(R"("version": 1, "requires": [], "provides": {})"),
       "metadata is corrupt (unable to parse provides)"},
      {Metadata(R"("version": 1, "requires": [], "provides": [null])"),
       "provides tag is not a string"},
      {Metadata(v3 + R"("required_flags": "a")"),
       "metadata is corrupt (unable to parse required_flags)"},
      {Metadata(v3 + R"("disabling_flags": [1])"), "disabling_flags tag is not a string"},
      {Metadata(v3 + R"("plugin_version": "1")"),
       "metadata is corrupt (unable to parse run_once)"},
      {Metadata(v3 + R"("run_once": 1, "plugin_version": "1")"),
       "metadata is corrupt (unable to parse run_once)"},
      {Metadata(v3 + R"("run_once": true, "plugin_version": 1)"),
       "metadata is corrupt (unable to parse plugin_version)"},
      {"{\"metadata\": {" + base + "}}", "invalid operations interface"},
      {"{\"metadata\": {" + base + "}, \"operations\": {}}",
       "operations is corrupt (unable to parse start)"},
      {"{\"metadata\": {" + base + "}, \"operations\": {\"start\": [\"a\", 1]}}",
       "command is not a string"},
      {R"({"metadata": {"version": 2, "requires": [], "provides": []},
           "operations": {"start": [], "apply_host_profile": "x"}})",
       "operations is corrupt (unable to parse apply-host-profile)"},
      {R"({"metadata": {"version": 2, "requires": [], "provides": []},
           "operations": {"start": [], "apply_host_profile": [true]}})",
       "command is not a string"},
  };
  for (const RejectionCase& c : cases)
    EXPECT_EQ("plugin `/p/x.json' is invalid: " + c.reason, Rejection(c.text)) << c.text;
}

TEST(JSONDescriptionTest, ReadsEverythingOfAVersion3Description) {
  JSONDescription d = Parse(R"(
    // comments are allowed
    {"metadata": {"version": 3.7, "requires": ["a", "b"], "provides": ["c"],
                  "required_flags": ["r2", "r1"], "disabling_flags": ["d"],
                  "run_once": true, "plugin_version": "1.2", "other": 1},
     /* as are block comments */
     "operations": {"start": ["x", "y"], "apply_host_profile": []}})");
  using Names = std::vector<std::string>;
  using Flags = std::set<std::string>;
  EXPECT_EQ(3, d.apiVersion);
  EXPECT_EQ((Names{"a", "b"}), d.requiredBarriers);
  EXPECT_EQ(Names{"c"}, d.providedBarriers);
  EXPECT_EQ((Flags{"r1", "r2"}), d.requiredFlags);
  EXPECT_EQ(Flags{"d"}, d.disablingFlags);
  EXPECT_TRUE(d.runOnce && d.supportsHostProfile && d.hostProfileCommands.empty());
  EXPECT_EQ("1.2", d.pluginVersion);
  EXPECT_EQ((Names{"x", "y"}), d.startCommands);
}

TEST(JSONDescriptionTest, IgnoresWhatItsVersionDoesNotHave) {
  JSONDescription v1 = Parse(R"({"metadata": {"version": 1.9, "requires": [], "provides": [],
      "run_once": true, "plugin_version": "2", "disabling_flags": ["d"]},
      "operations": {"start": [], "apply_host_profile": ["p"]}})");
  EXPECT_EQ(1, v1.apiVersion);
  EXPECT_FALSE(v1.runOnce || v1.supportsHostProfile);
  EXPECT_TRUE(v1.pluginVersion.empty() && v1.disablingFlags.empty() &&
              v1.hostProfileCommands.empty());

  JSONDescription v2 = Parse(Metadata(R"("version": 2.9, "requires": [], "provides": [])"));
  EXPECT_EQ(2, v2.apiVersion);
  EXPECT_FALSE(v2.supportsHostProfile);
}

}  // namespace
}  // namespace kickstand
