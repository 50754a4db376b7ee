// The readers of plugin descriptions: JSON plugin files and the debug
// configuration, whose lines describe debug plugins.
#include <cstdio>
#include <sstream>
#include <boost/tokenizer.hpp>
#include <gtest/gtest.h>

#include "plugins/DebugConfiguration.h"
#include "plugins/DebugConfigurationCache.h"
#include "plugins/JSONDescription.h"
#include "support/ScratchRoot.h"
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

std::vector<DebugEntry> Read(const std::string& text) {
  std::istringstream in(text);
  return ReadDebugConfiguration(in);
}

TEST(DebugConfigurationTest, KeepsFourFieldLinesOnly) {
  const std::pair<std::string, DebugEntry> cases[] = {
      {"  x: :c:/bin/true \r", {"x", {}, {"c"}, "/bin/true"}},
      {"x :: a , b ::c: echo hi", {"x ", {"a ", " b"}, {"c"}, " echo hi"}},
      {"x:\"a\\\"b\",'c,d',e\\,f:g\\n:true", {"x", {"a\"b", "c,d", "e,f"}, {"g\n"}, "true"}},
      {"x:a,:c:true", {"x", {"a", ""}, {"c"}, "true"}},
      {"#x:a:b:c", {"#x", {"a"}, {"b"}, "c"}},
  };
  for (const auto& [line, entry] : cases) {
    std::vector<DebugEntry> read = Read(line + "\n");
    ASSERT_EQ(1u, read.size()) << line;
    EXPECT_EQ(entry.name + "|" + entry.command, read[0].name + "|" + read[0].command) << line;
    EXPECT_EQ(entry.requiredBarriers, read[0].requiredBarriers) << line;
    EXPECT_EQ(entry.providedBarriers, read[0].providedBarriers) << line;
  }

  // Blank lines count in the line numbers of malformed ones. A NUL byte
  // makes a line malformed rather than a name cut short.
  testing::internal::CaptureStderr();
  const char text[] =
      "\n   \nx::c:/bin/true\nok: :c:true\nx:a:c:echo a:b\n# comment\n\nlast: : :z\nn\0ul: :c:t";
  std::vector<DebugEntry> entries = Read(std::string(text, sizeof text - 1));
  std::string log = testing::internal::GetCapturedStderr();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("ok", entries[0].name);
  EXPECT_EQ("last", entries[1].name);
  const std::string message = "ignoring malformed debug entry at line ";
  for (const char* line : {"3: x::c:/bin/true\n", "5: x:a:c:echo a:b\n", "6: # comment\n", "9: n\n"})
    EXPECT_NE(std::string::npos, log.find(message + line)) << log;

  // A bad escape ends the whole read.
  EXPECT_THROW(Read("ok: :c:true\nx:a\\q:c:true\n"), boost::escaped_list_error);
  EXPECT_THROW(Read("x: :c\\:true\n"), boost::escaped_list_error);
}

// Every read sees the file as it is; reading an unchanged file again gives
// what reading it gave: its entries, or its messages and its exception.
TEST(DebugConfigurationTest, CachedReadsFollowTheFileAndRepeatItsFailure) {
  const std::string host = "/etc/cached.conf", path = testing_support::ScratchRoot() + host;
  DebugConfigurationCache cache(path);
  auto named = [&](const std::string& name) {
    std::string text = name + ":";
    for (const DebugEntry* entry : cache.Named(name)) text += entry->command + ";";
    return text;
  };
  EXPECT_TRUE(cache.Read().empty());
  testing_support::WriteScratchFile(host, "a: :x:true\nb: :y:true\na:x: :false\n");
  cache.Read();
  EXPECT_EQ(named("a") + named("b"), "a:true;false;b:true;");
  testing_support::WriteScratchFile(host, "a: :x:true\n");  // in place, shorter
  cache.Read();
  EXPECT_EQ(named("a") + named("b"), "a:true;b:");
  testing_support::WriteScratchFile(host + ".new", "b: :x:true\n");  // as long, another inode
  std::rename((path + ".new").c_str(), path.c_str());
  cache.Read();
  EXPECT_EQ(named("a") + named("b"), "a:b:true;");

  testing_support::WriteScratchFile(host, "bad\nok: :c:true\nx:a\\q:c:true\n");
  for (int read = 0; read < 3; ++read) {
    testing::internal::CaptureStderr();
    std::string thrown = "nothing thrown";
    try {
      cache.Read();
    } catch (const boost::escaped_list_error& e) {
      thrown = e.what();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr() + thrown,
              "ignoring malformed debug entry at line 1: bad\nunknown escape sequence");
  }
}

}  // namespace
}  // namespace kickstand
