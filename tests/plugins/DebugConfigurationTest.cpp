#include <sstream>
#include <boost/tokenizer.hpp>
#include <gtest/gtest.h>

#include "plugins/DebugConfiguration.h"

namespace kickstand {
namespace {

using Names = std::vector<std::string>;

std::vector<DebugEntry> Read(const std::string& text) {
  std::istringstream in(text);
  return ReadDebugConfiguration(in);
}

struct EntryCase {
  std::string line;
  DebugEntry entry;
};

TEST(DebugConfigurationTest, SplitsEntries) {
  const EntryCase cases[] = {
      {"x:a,b:c:/bin/true", {"x", {"a", "b"}, {"c"}, "/bin/true"}},
      {"  x: :c:/bin/true \r", {"x", {}, {"c"}, "/bin/true"}},
      {"x :: a , b ::c: echo hi", {"x ", {"a ", " b"}, {"c"}, " echo hi"}},
      {"x:'a,b':c:true", {"x", {"a,b"}, {"c"}, "true"}},
      {"x:\"a\\\"b\",c\\,d:e\\n:true", {"x", {"a\"b", "c,d"}, {"e\n"}, "true"}},
      {"x:a,:c:true", {"x", {"a", ""}, {"c"}, "true"}},
      {"#x:a:b:c", {"#x", {"a"}, {"b"}, "c"}},
  };
  for (const EntryCase& c : cases) {
    std::vector<DebugEntry> entries = Read(c.line + "\n");
    ASSERT_EQ(1u, entries.size()) << c.line;
    EXPECT_EQ(c.entry.name, entries[0].name) << c.line;
    EXPECT_EQ(c.entry.requiredBarriers, entries[0].requiredBarriers) << c.line;
    EXPECT_EQ(c.entry.providedBarriers, entries[0].providedBarriers) << c.line;
    EXPECT_EQ(c.entry.command, entries[0].command) << c.line;
  }
}

TEST(DebugConfigurationTest, ReportsMalformedLinesWithPhysicalLineNumbers) {
  testing::internal::CaptureStderr();
  std::vector<DebugEntry> entries =
      Read("\n   \nx::c:/bin/true\nok: :c:true\nx:a:c:echo a:b\n# comment\n\nlast: : :z");
  std::string log = testing::internal::GetCapturedStderr();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("ok", entries[0].name);
  EXPECT_EQ("last", entries[1].name);
  EXPECT_NE(std::string::npos,
            log.find("ignoring malformed debug entry at line 3: x::c:/bin/true\n"));
  EXPECT_NE(std::string::npos,
            log.find("ignoring malformed debug entry at line 5: x:a:c:echo a:b\n"));
  EXPECT_NE(std::string::npos, log.find("ignoring malformed debug entry at line 6: # comment\n"));
}

TEST(DebugConfigurationTest, ABadEscapeEndsTheRead) {
  EXPECT_THROW(Read("ok: :c:true\nx:a\\q:c:true\n"), boost::escaped_list_error);
  EXPECT_THROW(Read("x: :c\\:true\n"), boost::escaped_list_error);
}

}  // namespace
}  // namespace kickstand
