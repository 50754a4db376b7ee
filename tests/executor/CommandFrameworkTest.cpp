// Command descriptions and their execution; runs real programs.
#include <csignal>
#include <memory>
#include <string>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "ProcessRoot.h"
#include "platform/tessel/Dispatcher.h"

using namespace Tessel::AutoCli;
using executor_tests::ReadFile;
using executor_tests::RootPath;
using executor_tests::WriteFile;

namespace {

const char kDir[] = "/framework";

std::string Description(const std::string& path, const std::string& program,
                        const std::string& parameters = "[]") {
  return "{ \"path\": " + path + ", \"program\": \"" + program + "\", // comments allowed\n" +
         "  \"parameters\": " + parameters + " }";
}

class CommandFramework : public testing::Test {
 protected:
  void SetUp() override {
    boost::filesystem::remove_all(RootPath(kDir));
    WriteFile(std::string(kDir) + "/bin/record",
              "#!/bin/sh\nexec > " + RootPath("/framework/args") +
                  "\necho \"$# $*\"\nread line\necho \"stdin $?\"\n"
                  "ignored=$(sed -n 's/^SigIgn:\\t//p' /proc/$$/status)\n"
                  "echo \"SIGPIPE ignored $(( 0x$ignored >> 12 & 1 ))\"\n",
              0755);
    WriteFile(std::string(kDir) + "/bin/fail", "#!/bin/sh\nexit 3\n", 0755);
    WriteFile(std::string(kDir) + "/bin/die", "#!/bin/sh\nkill -9 $$\n", 0755);
  }

  void Describe(const std::string& file, const std::string& content) {
    WriteFile(std::string(kDir) + "/commands/" + file, content);
  }
  std::string Bin(const std::string& name) { return RootPath(std::string(kDir) + "/bin/" + name); }

  /// The errors of running path with parameters.
  std::vector<std::string> Run(std::list<std::string> path,
                               const std::vector<std::pair<std::string, std::string>>& parameters) {
    auto input = CommandInput::New();
    auto output = CommandOutput::New();
    input->SetCommandPath(path);
    for (const auto& parameter : parameters)
      input->AddParameter(parameter.first, parameter.second);
    bool succeeded = dispatcher_.ExecuteCommand(input, output);
    EXPECT_EQ(!succeeded, output->HasError());
    return output->GetErrors();
  }

  Dispatcher dispatcher_;
};

TEST_F(CommandFramework, SkipsUnusableDescriptionsNamingTheFile) {
  const std::pair<const char*, std::string> unusable[] = {
      {"a-broken.json", "{ \"path\": [\"x\"], "},
      {"b-list.json", "[1, 2]"},
      {"c-nopath.json", Description("[]", "/bin/true")},
      {"d-option-word.json", Description("[\"net\", \"--x\"]", "/bin/true")},
      {"e-relative.json", Description("[\"net\"]", "bin/true")},
      {"f-nameless.json", Description("[\"net\"]", "/bin/true", "[{\"required\": true}]")},
      {"g-required.json",
       Description("[\"net\"]", "/bin/true", "[{\"name\": \"x\", \"required\": 1}]")},
      {"z-duplicate.json", Description("[\"good\"]", "/bin/false")},
  };
  for (const auto& file : unusable)
    Describe(file.first, file.second);
  Describe("good.json", Description("[\"good\"]", "/bin/true"));
  Describe("README", "not a description");
  testing::internal::CaptureStderr();
  dispatcher_.AddExternalDirectory(RootPath("/framework/commands"));
  std::string log = testing::internal::GetCapturedStderr();
  for (const auto& file : unusable) {
    std::string named = RootPath("/framework/commands/") + file.first;
    EXPECT_EQ(1, executor_tests::Occurrences(log, "skipping command description " + named + ": "))
        << log;
  }
  EXPECT_EQ(std::size(unusable), size_t(executor_tests::Occurrences(log, "\n")));
  EXPECT_TRUE(Run({"good"}, {}).empty());  // the first description of "good" holds
}

TEST_F(CommandFramework, RunsTheProgramWithOptionsInOrderNoInputAndDefaultSignals) {
  signal(SIGPIPE, SIG_IGN);  // as in the executor process
  Describe("set.json", Description("[\"net\", \"set\"]", Bin("record"),
                                   "[{\"name\": \"b\", \"required\": true}, {\"name\": \"a\"}]"));
  dispatcher_.AddExternalDirectory(RootPath("/framework/commands"));
  EXPECT_TRUE(Run({"net", "set"}, {{"b", "two words"}, {"a", "1"}, {"b", ""}}).empty());
  EXPECT_EQ("3 --b=two words --a=1 --b=\nstdin 1\nSIGPIPE ignored 0\n",
            ReadFile("/framework/args"));
}

TEST_F(CommandFramework, TurnsEveryFailureIntoAnOutputError) {
  Describe("need.json",
           Description("[\"need\"]", "/bin/true", "[{\"name\": \"x\", \"required\": true}]"));
  Describe("gone.json", Description("[\"gone\"]", "/framework/no-such-program"));
  Describe("fail.json", Description("[\"fail\"]", Bin("fail")));
  Describe("die.json", Description("[\"die\"]", Bin("die")));
  dispatcher_.AddExternalDirectory(RootPath("/framework/commands"));
  using Errors = std::vector<std::string>;
  EXPECT_EQ(Errors{"unknown command 'need more'"}, Run({"need", "more"}, {}));
  EXPECT_EQ(Errors{"command 'need' needs the parameter --x"}, Run({"need"}, {}));
  EXPECT_EQ(Errors{"command 'need' has no parameter --y"}, Run({"need"}, {{"x", "1"}, {"y", "2"}}));
  EXPECT_EQ(Errors{"cannot start /framework/no-such-program: No such file or directory"},
            Run({"gone"}, {}));
  EXPECT_EQ(Errors{Bin("fail") + " exited with status 3"}, Run({"fail"}, {}));
  EXPECT_EQ(Errors{Bin("die") + " was killed by signal 9 (Killed)"}, Run({"die"}, {}));
}

}  // namespace
