#include <gtest/gtest.h>

#include "driver/CommandLine.h"

using kickstand::CommandLine;
using kickstand::RunOptions;
using kickstand::Selections;
using Outcome = CommandLine::Outcome;

namespace {

/// Parses into fresh run options, whose seed is fixed to 99.
struct Parsed {
  Outcome outcome;
  RunOptions options;
  Selections selections;
};

Parsed Parse(std::vector<std::string> args) {
  RunOptions options;
  options.randomSeed = 99;
  Selections selections;
  std::vector<char*> argv{const_cast<char*>("kickstand")};
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  Outcome outcome = CommandLine::Parse(static_cast<int>(argv.size() - 1), argv.data(),
                                       options, selections);
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  return {outcome, options, selections};
}

using Strings = std::list<std::string>;
using Set = std::set<std::string>;

}  // namespace

TEST(CommandLine, CommaListsKeepBlanksDropEmptiesAndAccumulateAsSpecified) {
  Parsed p = Parse({"--plugin=x,,y", "--plugin=x", "--plugin-flags=a,b", "--plugin-flags=c",
                    "--run-once=a", "--run-once= b", "--disable-plugins=d,e",
                    "--interactive-mode-requires=r"});
  EXPECT_EQ(p.outcome, Outcome::Run);
  EXPECT_EQ(p.selections.pluginNames, (Strings{"x", "y", "x"}));
  EXPECT_EQ(p.selections.pluginFlags, (Set{"c"}));
  EXPECT_EQ(p.selections.runOnceKeys, (Set{"a", " b"}));
  EXPECT_EQ(p.options.disabledPlugins, (Strings{"d", "e"}));
  EXPECT_EQ(p.options.interactiveModeRequires, (Strings{"r"}));
  // The later of --parallel and --interactive wins.
  EXPECT_FALSE(Parse({"--parallel", "--interactive"}).options.parallel);
  EXPECT_FALSE(Parse({"--interactive", "--parallel"}).options.interactive);
}

TEST(CommandLine, NumericAndOrderValuesConvertOrAreIgnored) {
  const int64_t seed = 99;
  struct Case { const char* arg; bool randomize; int64_t seed; };
  for (const Case& c : {Case{"--randomize", true, seed}, Case{"--randomize=", true, seed},
                        Case{"--randomize=abc", true, seed}, Case{"--randomize=-5", true, -5},
                        Case{"--randomize=+7", true, 7},
                        Case{"--randomize=2147483648", true, seed}}) {
    Parsed p = Parse({c.arg});
    EXPECT_EQ(p.options.randomize, c.randomize) << c.arg;
    EXPECT_EQ(p.options.randomSeed, c.seed) << c.arg;
  }
  EXPECT_EQ(Parse({"--daemon-wait-timeout=abc"}).options.daemonWaitTimeout, 40u);
  EXPECT_EQ(Parse({"--daemon-wait-timeout=7"}).options.daemonWaitTimeout, 7u);
  EXPECT_EQ(Parse({"--daemon-wait-timeout=-1"}).options.daemonWaitTimeout, 4294967295u);
  Parsed unknown = Parse({"--order=history", "--order=fast"});  // logged and ignored
  EXPECT_TRUE(unknown.options.order == RunOptions::Order::History &&
              unknown.outcome == Outcome::Run);
  EXPECT_EQ(Parse({"--order=history", "--order=height"}).options.order, RunOptions::Order::Height);
  // Whole seconds up to a day, or an option error that ends parsing.
  for (auto [value, seconds] : {std::pair{"0", 0u}, {"7", 7u}, {"086400", 86400u}})
    EXPECT_EQ(Parse({std::string("--plugin-timeout=") + value}).options.pluginTimeout, seconds);
  for (const char* bad : {"", "abc", "-1", "+5", "1x", "86401", "99999999999"})
    EXPECT_EQ(Parse({std::string("--plugin-timeout=") + bad, "--help"}).outcome,
              Outcome::ExitFailure) << bad;
}

TEST(CommandLine, DaemonNeedsStartOrStopAloneAndWaitsOnlyForWait) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--daemon", "--method=restart"},
           {"--daemon", "--method=start", "--init"},
           {"--daemon", "--method=stop", "--plugin=x"},
           {"--daemon"},
           {"--daemon", "--method=start", "--invoke"},
           {"--daemon", "--method=start", "--interactive"},
           {"--daemon", "--method=Start"}})
    EXPECT_EQ(Parse(args).outcome, Outcome::ExitFailure) << args.back();
  EXPECT_FALSE(Parse({"--daemon", "--method=start"}).options.daemonWait);
  EXPECT_FALSE(Parse({"--daemon=WAIT", "--method=start"}).options.daemonWait);
  Parsed wait = Parse({"--daemon=wait", "--method=stop"});
  EXPECT_TRUE(wait.options.daemonWait && wait.selections.stop);
  EXPECT_EQ(wait.outcome, Outcome::Run);
}

TEST(CommandLine, InvokeNeedsMethodAndPluginDumpPathIsOptional) {
  EXPECT_FALSE(Parse({"--dump-dependency-tree"}).selections.dumpPath);
  EXPECT_EQ(Parse({"--dump-dependency-tree=g.dot"}).selections.dumpPath.value_or(""), "g.dot");
  EXPECT_EQ(Parse({"--invoke", "--method=start"}).outcome, Outcome::ExitFailure);
  EXPECT_EQ(Parse({"--invoke", "--plugin=x"}).outcome, Outcome::ExitFailure);
  EXPECT_EQ(Parse({"--invoke", "--plugin=x", "--method=start"}).outcome, Outcome::Run);
  EXPECT_EQ(Parse({"--method=start"}).outcome, Outcome::Run);
}

TEST(CommandLine, HelpStopsParsingButNotBefore) {
  EXPECT_EQ(Parse({"--help", "--bogus"}).outcome, Outcome::ExitSuccess);
  EXPECT_EQ(Parse({"--bogus", "--help"}).outcome, Outcome::ExitFailure);
  EXPECT_EQ(Parse({"-h"}).outcome, Outcome::ExitSuccess);
  EXPECT_EQ(Parse({"--method"}).outcome, Outcome::ExitFailure);
  Parsed p = Parse({"--verbose", "--help", "--trace"});
  EXPECT_TRUE(p.options.verbose);
  EXPECT_FALSE(p.options.trace);
}
