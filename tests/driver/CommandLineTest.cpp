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

using Set = std::set<std::string>;

}  // namespace

// A daemon run takes start or stop and nothing of a boot; an invoke run
// needs a method and a plugin; help ends parsing where it comes.
TEST(CommandLine, BadCombinationsAndHelpEndTheRun) {
  const std::pair<std::vector<std::string>, Outcome> cases[] = {
      {{"--daemon", "--method=start", "--init"}, Outcome::ExitFailure},
      {{"--daemon", "--method=stop", "--plugin=x"}, Outcome::ExitFailure},
      {{"--daemon"}, Outcome::ExitFailure},
      {{"--daemon", "--method=start", "--invoke"}, Outcome::ExitFailure},
      {{"--daemon", "--method=start", "--interactive"}, Outcome::ExitFailure},
      {{"--daemon", "--method=Start"}, Outcome::ExitFailure},
      {{"--invoke", "--plugin=x"}, Outcome::ExitFailure},
      {{"--invoke", "--plugin=x", "--method=start"}, Outcome::Run},
      {{"--method=start"}, Outcome::Run},
      {{"-h"}, Outcome::ExitSuccess},
      {{"--method"}, Outcome::ExitFailure},
  };
  for (const auto& [args, outcome] : cases)
    EXPECT_EQ(Parse(args).outcome, outcome) << args.back();
  Parsed p = Parse({"--verbose", "--help", "--trace"});
  EXPECT_TRUE(p.options.verbose && !p.options.trace);
}

TEST(CommandLine, CommaListsKeepBlanksDropEmptiesAndAccumulateAsSpecified) {
  Parsed p = Parse({"--plugin=x,,y", "--plugin=x", "--plugin-flags=a,b", "--plugin-flags=c",
                    "--run-once=a", "--run-once= b"});
  EXPECT_EQ(p.outcome, Outcome::Run);
  EXPECT_EQ(p.selections.pluginNames, (std::list<std::string>{"x", "y", "x"}));
  EXPECT_EQ(p.selections.pluginFlags, (Set{"c"}));
  EXPECT_EQ(p.selections.runOnceKeys, (Set{"a", " b"}));
  // The later of --parallel and --interactive wins.
  EXPECT_FALSE(Parse({"--parallel", "--interactive"}).options.parallel);
  EXPECT_FALSE(Parse({"--interactive", "--parallel"}).options.interactive);
}

TEST(CommandLine, ValuesConvertOrAreIgnored) {
  for (auto [arg, seed] : {std::pair{"--randomize", 99}, {"--randomize=", 99},
                           {"--randomize=abc", 99}, {"--randomize=-5", -5}, {"--randomize=+7", 7},
                           {"--randomize=2147483648", 99}}) {
    Parsed p = Parse({arg});
    EXPECT_TRUE(p.options.randomize) << arg;
    EXPECT_EQ(p.options.randomSeed, seed) << arg;
  }
  EXPECT_EQ(Parse({"--daemon-wait-timeout=abc"}).options.daemonWaitTimeout, 40u);
  EXPECT_EQ(Parse({"--daemon-wait-timeout=-1"}).options.daemonWaitTimeout, 4294967295u);
  Parsed unknown = Parse({"--order=history", "--order=fast"});  // logged and ignored
  EXPECT_TRUE(unknown.options.order == RunOptions::Order::History &&
              unknown.outcome == Outcome::Run);
  EXPECT_EQ(Parse({"--order=history", "--order=height"}).options.order, RunOptions::Order::Height);
  // Whole seconds up to a day, or an option error that ends parsing.
  for (auto [value, seconds] : {std::pair{"0", 0u}, {"7", 7u}, {"086400", 86400u}})
    EXPECT_EQ(Parse({std::string("--plugin-timeout=") + value}).options.pluginTimeout, seconds);
  for (const char* bad : {"", "abc", "1x", "86401", "99999999999"})
    EXPECT_EQ(Parse({std::string("--plugin-timeout=") + bad, "--help"}).outcome,
              Outcome::ExitFailure) << bad;
  EXPECT_FALSE(Parse({"--daemon=WAIT", "--method=start"}).options.daemonWait);
}
