// The command framework stand-in the executor runs commands with.
#include <csignal>
#include <cstdint>
#include <list>
#include <sys/stat.h>
#include <utility>

#include "ScratchFiles.h"
#include "commandexec/TarncliDispatcher.h"
#include "platform/tessel/Dispatcher.h"
#include "platform/tessel/OptionParser.h"

extern "C" const uint32_t* const __tarnclic_magic;

using namespace executor_tests;
using namespace Tessel::AutoCli;
using Parameters = std::vector<std::pair<std::string, std::string>>;
using Errors = std::vector<std::string>;

namespace {

// Every line gives its whole outcome: the command path and the options
// read before any error, and the error.
TEST(InProcessOptionParser, FormsWordsAsAShellAndReportsMalformedLines) {
  const struct {
    const char* line;
    std::list<std::string> path;  // none and no error: nothing to run
    Parameters parameters;
    Errors errors;
  } cases[] = {
      {"net --msg='a \"b\" $HOME\\'", {"net"}, {{"msg", "a \"b\" $HOME\\"}}, {}},
      {"net --msg=a\\ b\\'c", {"net"}, {{"msg", "a b'c"}}, {}},
      {"net --msg=\"a\\\"b\"", {"net"}, {{"msg", "a\"b"}}, {}},
      {"n\"e\"'t' \"two words\" ''", {"net", "two words", ""}, {}, {}},
      {" \tnet\t --x=1   ", {"net"}, {{"x", "1"}}, {}},
      {"net # not a comment here", {"net", "#", "not", "a", "comment", "here"}, {}, {}},
      {"net --flag --x= --x=a=b", {"net"}, {{"flag", "true"}, {"x", ""}, {"x", "a=b"}}, {}},
      {"net \"--quoted=still an option\"", {"net"}, {{"quoted", "still an option"}}, {}},
      {" \t\n", {}, {}, {}}, {"# net --x=1", {}, {}, {}}, {"  \t# 'open", {}, {}, {}},
      {"net --x=\"open", {}, {}, {"unterminated double quote at column 9"}},
      {"net --x=a\\", {}, {}, {"backslash at the end of the line at column 10"}},
      {"net --x=1 extra", {"net"}, {{"x", "1"}}, {"unexpected word 'extra' after the options"}},
      {"net --=v", {"net"}, {}, {"option without a name: '--=v'"}},
      {"--x=1", {}, {{"x", "1"}}, {"no command name before the option '--x=1'"}},
  };
  for (const auto& c : cases) {
    OptionParser parser;
    EXPECT_EQ(c.path.empty() && c.errors.empty(), parser.ParseString(c.line)) << c.line;
    EXPECT_EQ(c.errors, parser.GetParseErrors()) << c.line;
    EXPECT_EQ(c.path, parser.GetCommandPath()) << c.line;
    EXPECT_EQ(c.parameters, parser.GetCommandParameters()) << c.line;
  }
}

std::string Description(const std::string& path, const std::string& parameters = "[]",
                        const std::string& program = "/bin/true") {
  return "{ \"path\": " + path + ", \"program\": \"" + program + "\", // comments allowed\n" +
         "  \"parameters\": " + parameters + " }";
}

TEST(CommandFramework, SkipsUnusableDescriptionsAndRunsTheRest) {
  const std::string bin = Host("/framework/bin/"), commands = Host("/framework/commands/");
  WriteScratchFile("/framework/bin/record", "#!/bin/sh\necho \"$# $*\" > " + Host("/framework/args"), 0755);
  // Dies only if the executor's ignored SIGPIPE is back to its default.
  WriteScratchFile("/framework/bin/pipe", "#!/bin/sh\nkill -PIPE $$\n", 0755);
  const size_t kUnusable = 8;  // the first files
  const std::pair<std::string, std::string> files[] = {
      {"a-broken.json", "{ \"path\": [\"x\"], "},
      {"b-list.json", "[1, 2]"},
      {"c-nopath.json", Description("[]")},
      {"d-option-word.json", Description(R"(["net", "--x"])")},
      {"e-relative.json", Description(R"(["net"])", "[]", "bin/true")},
      {"f-nameless.json", Description(R"(["net"])", R"([{"required": true}])")},
      {"g-required.json", Description(R"(["net"])", R"([{"name": "x", "required": 1}])")},
      {"z-duplicate.json", Description(R"(["good"])", "[]", "/bin/false")},
      {"README", "not a description"},
      {"good.json", Description(R"(["good"])")},
      {"set.json", Description(R"(["net", "set"])",
                               R"([{"name": "b"}, {"name": "a"}])", bin + "record")},
      {"need.json", Description(R"(["need"])", R"([{"name": "x", "required": true}])")},
      {"gone.json", Description(R"(["gone"])", "[]", "/framework/no-such-program")},
      {"fail.json", Description(R"(["fail"])", "[]", "/bin/false")},
      {"pipe.json", Description(R"(["pipe"])", "[]", bin + "pipe")},
  };
  for (const auto& file : files)
    WriteScratchFile("/framework/commands/" + file.first, file.second);
  mkfifo((commands + "fifo.json").c_str(), 0644);  // would wait for a writer if opened
  Dispatcher dispatcher;
  testing::internal::CaptureStderr();
  dispatcher.AddExternalDirectory(commands);
  std::string log = testing::internal::GetCapturedStderr();
  for (size_t i = 0; i < kUnusable; ++i)
    EXPECT_EQ(1, Count(log, "skipping command description " + commands + files[i].first + ": "));
  EXPECT_EQ(1, Count(log, "skipping command description " + commands +
                              "fifo.json: cannot open it: not a regular file: fifo\n"));
  EXPECT_EQ(kUnusable + 1, size_t(Count(log, "\n"))) << log;

  signal(SIGPIPE, SIG_IGN);  // as in the executor process
  struct {
    std::list<std::string> path;
    Parameters parameters;
    std::string error;  // empty: succeeds
  } runs[] = {
      {{"net", "set"}, {{"b", "two words"}, {"a", "1"}, {"b", ""}}, ""},
      {{"need", "more"}, {}, "unknown command 'need more'"},
      {{"need"}, {{"x", "1"}, {"y", "2"}}, "command 'need' has no parameter --y"},
      {{"gone"}, {}, "cannot start /framework/no-such-program: No such file or directory"},
      {{"fail"}, {}, "/bin/false exited with status 1"},
      {{"pipe"}, {}, bin + "pipe was killed by signal 13 (Broken pipe)"},
  };
  for (auto& run : runs) {
    auto input = CommandInput::New();
    auto output = CommandOutput::New();
    input->SetCommandPath(run.path);
    for (const auto& parameter : run.parameters)
      input->AddParameter(parameter.first, parameter.second);
    EXPECT_EQ(run.error.empty(), dispatcher.ExecuteCommand(input, output)) << run.error;
    EXPECT_EQ(run.error.empty() ? Errors{} : Errors{run.error}, output->GetErrors());
  }
  // Every option its own argument, in order.
  EXPECT_EQ("3 --b=two words --a=1 --b=\n", ReadScratchFile("/framework/args"));
}

// One description in three of the four directories (the fourth is never
// made): the log shows which are read, in which order.
TEST(InProcessTarncliDispatcher, ReadsItsDirectoriesInOrderRefusingMissingOnes) {
  const std::string dir = Host("/usr/lib/halvex/tarncli");
  for (const char* sub : {"", "/int", "/ext"})
    WriteScratchFile("/usr/lib/halvex/tarncli" + std::string(sub) + "/same.json",
          R"({"path": ["same"], "program": "/bin/true"})");
  const std::string skipped = "/same.json: command 'same' is already described by " + dir;
  testing::internal::CaptureStderr();
  kickstand::TarncliDispatcher{};
  EXPECT_EQ("skipping command description " + dir + "/int" + skipped + "/same.json\n" +
                "unable to add external directory to the tarncli dispatcher: command directory " +
                dir + "/int/ext does not exist\n" +
                "skipping command description " + dir + "/ext" + skipped + "/same.json\n",
            testing::internal::GetCapturedStderr());
  EXPECT_EQ(0x5CA1AB1Eu, *__tarnclic_magic);
}

}  // namespace
