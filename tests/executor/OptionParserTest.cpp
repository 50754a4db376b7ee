#include <list>
#include <string>
#include <utility>
#include <vector>
#include <gtest/gtest.h>

#include "platform/tessel/OptionParser.h"

using Tessel::AutoCli::OptionParser;
using Parameters = std::vector<std::pair<std::string, std::string>>;

namespace {

struct Parsed {
  const char* line;
  std::list<std::string> path;
  Parameters parameters;
};

TEST(InProcessOptionParser, FormsWordsAsAShellAndKeepsOptionsInOrder) {
  const Parsed cases[] = {
      {"network firewall set --enabled=true",
       {"network", "firewall", "set"},
       {{"enabled", "true"}}},
      {"net --msg=\"a b\"", {"net"}, {{"msg", "a b"}}},
      {"net --msg='a \"b\" $HOME'", {"net"}, {{"msg", "a \"b\" $HOME"}}},
      {"net --msg=a\\ b\\'c", {"net"}, {{"msg", "a b'c"}}},
      {"net --msg=\"a\\\"b\"", {"net"}, {{"msg", "a\"b"}}},
      {"net --msg='a\\b'", {"net"}, {{"msg", "a\\b"}}},
      {"n\"e\"'t' \"two words\" ''", {"net", "two words", ""}, {}},
      {" \tnet\t --x=1   ", {"net"}, {{"x", "1"}}},
      {"net # not a comment here", {"net", "#", "not", "a", "comment", "here"}, {}},
      {"net --flag --x= --x=a=b", {"net"}, {{"flag", "true"}, {"x", ""}, {"x", "a=b"}}},
      {"net \"--quoted=still an option\"", {"net"}, {{"quoted", "still an option"}}},
  };
  for (const Parsed& c : cases) {
    OptionParser parser;
    EXPECT_FALSE(parser.ParseString(c.line)) << c.line;
    EXPECT_TRUE(parser.GetParseErrors().empty()) << c.line;
    EXPECT_EQ(c.path, parser.GetCommandPath()) << c.line;
    EXPECT_EQ(c.parameters, parser.GetCommandParameters()) << c.line;
  }
}

TEST(InProcessOptionParser, BlankAndCommentLinesRunNothing) {
  for (const char* line : {"", "   ", "\t\n", "#", "# net --x=1", "  \t# 'open"}) {
    OptionParser parser;
    EXPECT_TRUE(parser.ParseString(line)) << '"' << line << '"';
    EXPECT_TRUE(parser.GetParseErrors().empty());
    EXPECT_TRUE(parser.GetCommandPath().empty());
  }
}

TEST(InProcessOptionParser, ReportsMalformedLines) {
  const std::pair<const char*, const char*> cases[] = {
      {"net --x='open", "unterminated single quote at column 9"},
      {"net --x=\"open", "unterminated double quote at column 9"},
      {"net --x=\"a\\\"", "unterminated double quote"},
      {"net --x=a\\", "backslash at the end of the line at column 10"},
      {"net --x=1 extra", "unexpected word 'extra' after the options"},
      {"net --=v", "option without a name: '--=v'"},
      {"net --", "option without a name: '--'"},
      {"--x=1", "no command name before the option '--x=1'"},
  };
  for (const auto& c : cases) {
    OptionParser parser;
    EXPECT_FALSE(parser.ParseString(c.first)) << c.first;
    ASSERT_EQ(1u, parser.GetParseErrors().size()) << c.first;
    EXPECT_NE(std::string::npos, parser.GetParseErrors()[0].find(c.second))
        << c.first << ": " << parser.GetParseErrors()[0];
  }
}

}  // namespace
