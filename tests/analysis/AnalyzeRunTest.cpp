#include "analysis/AnalyzeRun.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "support/ScratchRoot.h"

namespace {

using testing_support::ScratchRoot;
using testing_support::WriteScratchFile;

struct Result {
  int status;
  std::string out, err;
};

/// kickstand-analyze in this process, on a host with one processor, with
/// the plugin directory of the fixed boot (a later option overrides it).
Result Analyze(std::vector<std::string> args) {
  args.insert(args.begin(), "--plugin-directory=" + ScratchRoot() + "/plugins");
  std::vector<char*> argv{const_cast<char*>("kickstand-analyze")};
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  std::ostringstream out, err;
  int status = kickstand::AnalyzeRun(out, err, 1).Run(static_cast<int>(argv.size() - 1),
                                                      argv.data());
  return {status, out.str(), err.str()};
}

std::string Json(const std::string& required, const std::string& provides) {
  return R"({"metadata": {"version": 1, "requires": [)" + required + R"(], "provides": [)" +
         provides + R"(]}, "operations": {"start": ["x"]}})";
}

std::string Entry(const std::string& from, const std::string& to, const std::string& name) {
  return "[2026-01-01 00:00:0" + from + " - 2026-01-01 00:00:0" + to + "] sysboot: " + name + "\n";
}

// storage (JSON) and network run on the two workers; clock is ready at
// once but waits for one until network ends, firewall (network's) until
// clock ends; welcome needs services and the time clock provides. The
// broken tree beside it has a cycle, a missing provider and a bad file.
void WriteHost() {
  WriteScratchFile("/plugins/storage.json", Json("", R"("storage")"));
  WriteScratchFile("/etc/halvex/kickstand/debug.conf",
                   "network: :network:true\nclock: :time:true\n"
                   "services:network,storage:services:true\nfirewall:network:services:false\n"
                   "welcome:services,time: :true\n");
  WriteScratchFile("/var/log/sysboot.log",
                   "OZKernel Initialization Time: 2785000\n" +
                       Entry("0.003000", "3.051000", "storage") +
                       Entry("0.004000", "1.004000", "network") +
                       Entry("1.005000", "1.205000", "clock") +
                       Entry("3.052000", "4.062000", "services") +
                       Entry("1.206000", "1.306000", "firewall") +
                       Entry("4.070000", "4.071600", "welcome") + "garbage\n" +
                       "=== Kickstand configuration info ===\n"
                       " Start: 2026-01-01 00:00:00.000000\n Parallel: 1\n");
  WriteScratchFile("/var/log/kernel.log",
                   "Kickstand plugin network activation failed: an older boot\n"
                   "Kickstand plugin network activated.\n"
                   "Kickstand plugin firewall activation failed: exit status 1\n");
  WriteScratchFile("/broken/a.json", Json(R"("x")", R"("y")"));
  WriteScratchFile("/broken/b.json", Json(R"("y")", R"("x")"));
  WriteScratchFile("/broken/c.json", Json(R"("ghost")", ""));
  WriteScratchFile("/broken/bad.json", "{\"metadata\": ");
  WriteScratchFile("/broken/denied.json", Json(R"("nobody")", ""));  // kept out: never checked
}

const char kChainHeader[] = "The time after @ is when the plugin started, counted from "
                            "kickstand's start; the time after + is how long it ran.\n";

// Every error is one line on standard error, then the usage.
TEST(AnalyzeRun, AnswersAboutAFixedBootExactlyAndRefusesBadRequestsInOneLine) {
  WriteHost();
  const std::string log = ScratchRoot() + "/var/log/sysboot.log";
  const std::string skipped = "kickstand-analyze: skipped 1 unparseable line of " + log + "\n";
  const std::string usage = Analyze({"--help"}).out;
  const std::pair<std::vector<std::string>, Result> cases[] = {
      {{"time"}, {0,
       "Boot: kernel 2.785s + plugins 4.069s = 6.854s (6 plugins, 1 failed, 2 workers)\n", skipped}},
      {{"blame"}, {0,
       "  3.048s storage\n"
       "  1.010s services\n"
       "  1.000s network\n"
       "  0.200s clock (waited 1.002s for a worker)\n"
       "  0.100s firewall (failed) (waited 0.202s for a worker)\n"
       "  0.002s welcome (waited 0.008s for a worker)\n", skipped}},
      {{"critical-chain"}, {0,
       std::string(kChainHeader) + "welcome @4.070s +0.002s (0.008s after services)\n"
                                   "\u2514\u2500services @3.052s +1.010s\n"
                                   "  \u2514\u2500storage @0.003s +3.048s\n", skipped}},
      {{"critical-chain", "firewall"}, {0,
       std::string(kChainHeader) + "firewall @1.206s +0.100s (failed) (0.202s after network)\n"
                                   "\u2514\u2500network @0.004s +1.000s\n", skipped}},
      // Without the debug plugins in the graph their waits are unknown.
      {{"--plugin=storage.json", "blame"}, {0,
       "  3.048s storage\n  1.010s services\n  1.000s network\n  0.200s clock\n"
       "  0.100s firewall (failed)\n  0.002s welcome\n",
       skipped + "kickstand-analyze: not in the graph (the plugin tree changed since the "
                 "boot?): network, clock, firewall, services, welcome\n"}},
      {{"critical-chain", "absent"}, {1, "",
       skipped + "kickstand-analyze: absent did not run in the last boot\n"}},
      {{"verify", "--plugin=a.json,b.json,c.json,bad.json,denied.json", "--disable-plugins=denied",
        "--plugin-directory=" + ScratchRoot() + "/broken"}, {1,
       "exception occurred whilst loading plugin bad.json: plugin `" + ScratchRoot() +
           "/broken/bad.json' is invalid: plugin root is not an object\n"
           "Kickstand dependency error: dependency cycle \"a\" -> \"x\" -> \"b\" -> \"y\" -> "
           "\"a\"; ignoring the dependency of \"b\" on \"y\"\n"
           "Kickstand dependency error: Initialization barrier \"ghost\" is not provided by "
           "any plugin but the following plugins require it: \"c\"\n", ""}},
      {{"bogus"}, {1, "", "kickstand-analyze: unknown command 'bogus'\n" + usage}},
      {{"--bogus", "time"}, {1, "", "kickstand-analyze: unknown option '--bogus'\n" + usage}},
      {{"-x", "time"}, {1, "", "kickstand-analyze: unknown option '-x'\n" + usage}},
      {{"time", "--plugin"}, {1, "", "kickstand-analyze: option '--plugin' needs a value\n" + usage}},
      {{"blame", "extra"}, {1, "", "kickstand-analyze: unexpected argument 'extra'\n" + usage}},
      {{}, {1, "", "kickstand-analyze: no command given\n" + usage}},
  };
  for (const auto& [args, expected] : cases) {
    Result result = Analyze(args);
    EXPECT_EQ(expected.status, result.status) << testing::PrintToString(args);
    EXPECT_EQ(expected.out, result.out) << testing::PrintToString(args);
    EXPECT_EQ(expected.err, result.err) << testing::PrintToString(args);
  }
  EXPECT_EQ(0u, usage.find("Usage: kickstand-analyze [OPTION]... COMMAND [PLUGIN]\n"));
  Result help = Analyze({"critical-chain", "--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_EQ(0u, help.out.find("Usage: kickstand-analyze [OPTION]... critical-chain [PLUGIN]\n"));
  remove(log.c_str());
  Result none = Analyze({"time"});
  EXPECT_EQ(1, none.status);
  EXPECT_EQ("kickstand-analyze: no boot recorded in " + log + "\n", none.err);
}

}  // namespace
