#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <zlib.h>
#include <boost/filesystem.hpp>

#include "support/HostTree.h"

namespace {

using testing_support::HostTree;
using testing_support::RunResult;
using Lines = std::vector<std::string>;

const std::string kPlugins = "/usr/libexec/kickstand/plugins/";
const char kDebugConf[] = "/etc/halvex/kickstand/debug.conf";
const char kRecord[] = "/bootbank/kickstnd.gz";

const std::string kV3 = R"("version": 3, "requires": [], "provides": [], "run_once": )";

std::string Json(const std::string& metadata, const std::string& operations = R"("start": [])") {
  return "{\"metadata\": {" + metadata + "}, \"operations\": {" + operations + "}}";
}

void BindSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address)) << path;
  close(fd);
}

Lines SortedOrder(const HostTree& tree) {
  Lines order = tree.ReadLines("/var/log/order.log");
  std::sort(order.begin(), order.end());
  return order;
}

/// A debug or JSON command that appends text to var/log/order.log.
std::string Append(const std::string& text) {
  return "echo " + text + " >> \"$KICKSTAND_ROOT/var/log/order.log\"";
}

/// JSON plugins reach the shell only through commands: "test NAME" runs
/// the script body with its options --NAME=VALUE as arguments.
void InstallCommand(const HostTree& tree, const std::string& name, const std::string& body,
                    const std::string& parameters) {
  tree.WriteScript("/usr/bin/" + name, body);
  tree.Write("/usr/lib/halvex/tarncli/" + name + ".json",
             "{\"path\": [\"test\", \"" + name + "\"], \"program\": \"" +
                 tree.Path("/usr/bin/" + name) + "\", \"parameters\": " + parameters + "}");
}

/// "test record --text=T" appends T to the order log.
void InstallRecordCommand(const HostTree& tree) {
  InstallCommand(tree, "record", Append("\"${1#--text=}\""), R"([{"name": "text"}])");
}

TEST(PluginRunTest, EveryFileKindIsLoadedOrReported) {
  HostTree tree;
  const std::string dir = tree.Path(kPlugins);
  tree.Write(kPlugins + "late.json", Json(R"("version": 1, "requires": ["ghost"],
                                              "provides": ["phantom"])", R"("start": 7)"));
  tree.Write(kPlugins + "libjunk.so", "not an object");
  tree.Write(kPlugins + "foo.json", Json(R"("version": 1, "requires": [], "provides": ["app"])"));
  tree.Write(kPlugins + "both.json", Json(kV3 + R"(false, "plugin_version": "",
      "disabling_flags": ["B", "A", "C"], "required_flags": ["R", "A", "Q"])"));
  tree.Write(kPlugins + "need.json",
             Json(kV3 + R"(false, "plugin_version": "", "required_flags": ["S", "R"])"));
  for (auto [file, built] : {std::pair{"libnm.so", NATIVE_PLUGIN_NOMETADATA},
                             {"libv9.so", NATIVE_PLUGIN_V9}, {"libfoo.so", NATIVE_PLUGIN_V3},
                             {"libe3.so", NATIVE_PLUGIN_EXIT3}, {"libk9.so", NATIVE_PLUGIN_KILL9},
                             {"libgood.so", NATIVE_PLUGIN_CXX}})
    boost::filesystem::copy_file(built, tree.Path(kPlugins + file));
  // Nothing but a regular file, or a link to one, is opened, and nothing
  // waits on opening it.
  mkfifo((dir + "fifo.json").c_str(), 0644);
  mkfifo((dir + "libfifo.so").c_str(), 0644);
  BindSocket(dir + "sock.json");
  boost::filesystem::create_directory(dir + "dir.json");
  for (auto [link, target] : {std::pair{"loop.json", "loop.json"}, {"libloop.so", "libloop.so"},
                              {"null.json", "/dev/null"}, {"linked.json", "foo.json"}})
    boost::filesystem::create_symlink(target, dir + link);
  tree.Write(kDebugConf, "after:app: :" + Append("after") + "\nexit1: :net:exit 1\n"
             "kill9: : :kill -9 $$\nexit1: : :" + Append("second") + "\n");
  RunResult run = tree.Run(
      {"--plugin-flags=A,B,S,needed", "--disable-plugins=foo",
       "--plugin=missing.json,late.json,libnm.so,libv9.so,libjunk.so,noext,x.txt,"
       "libfoo.so,foo.json,both.json,need.json,libe3.so,libk9.so,libgood.so,"
       "after.debug,exit1.debug,kill9.debug,fifo.json,libfifo.so,sock.json,dir.json,loop.json,"
       "libloop.so,null.json,linked.json"}, 10);
  EXPECT_EQ(0, run.status) << run.out;

  auto invalid = [&](const std::string& file, const std::string& reason) {
    return "exception occurred whilst loading plugin " + file + ": plugin `" + dir + file +
           "' is invalid: " + reason;
  };
  // The dynamic loader words its own reasons: those alerts end in a space
  // here and need only start the line.
  const Lines alerts = {
      invalid("missing.json", "no such file or directory"),
      invalid("late.json", "operations is corrupt (unable to parse start)"),
      "exception occurred whilst loading plugin libnm.so: Failed loading symbol: metadata "
      "Located at: " + dir + "libnm.so Reason: ",
      invalid("libv9.so", "Unsupported API version"),
      invalid("libjunk.so", ""),
      invalid("fifo.json", "not a regular file: fifo"),
      invalid("libfifo.so", "not a regular file: fifo"),
      invalid("sock.json", "not a regular file: socket"),
      invalid("dir.json", "not a regular file: directory"),
      invalid("loop.json", "Too many levels of symbolic links"),
      invalid("libloop.so", "Too many levels of symbolic links"),
      invalid("null.json", "not a regular file: character device")};
  Lines raised = tree.ReadLines("/var/log/alerts.log");
  ASSERT_EQ(alerts.size(), raised.size()) << run.out;
  for (size_t i = 0; i < alerts.size(); ++i) {
    bool open = alerts[i].back() == ' ';
    EXPECT_EQ(alerts[i], open ? raised[i].substr(0, alerts[i].size()) : raised[i]);
    EXPECT_TRUE(run.Logged("warning: " + raised[i])) << run.out;
  }
  for (const char* line :
       {"warning: ignoring plugin 'noext' of unspecified type...",
        "warning: ignoring plugin 'x.txt' of unknown type (txt)...",
        "warning: ignoring plugin 'both', disabled due to boot flags: A B .",
        "warning: ignoring plugin 'both', disabled due to missing required boot flags: Q R .",
        "warning: ignoring plugin 'need', disabled due to missing required boot flags: R .",
        "info: debug injection 'exit1' returned 0x000100",
        "info: debug injection 'kill9' returned 0x000009"})
    EXPECT_TRUE(run.Logged(line)) << line << "\n" << run.out;
  // libfoo.so and foo.json are both "foo".
  Lines log = run.LogLines();
  EXPECT_EQ(2, std::count(log.begin(), log.end(), "info: ignoring plugin 'foo' due to denylist."));

  Lines kernel = tree.ReadLines("/var/log/kernel.log");
  for (std::string line : {"e3 activation failed: e3->start() failed: exited with code 3",
                           "k9 activation failed: k9->start() failed: exited with signal: 9",
                           "good activated.", "kill9 activated.", "linked activated."})
    EXPECT_EQ(1, std::count(kernel.begin(), kernel.end(), "Kickstand plugin " + line)) << line;
  // "after" waits on app, which plugins kept out provide as well; both exit1
  // entries run.
  EXPECT_EQ((Lines{"after", "native start 3", "second"}), SortedOrder(tree));

  // A file rejected after its barriers were read must not have created them.
  RunResult dump = tree.Run({"--plugin=late.json", "--dump-dependency-tree"});
  EXPECT_TRUE(dump.out.find("ghost") == std::string::npos &&
              dump.out.find("phantom") == std::string::npos) << dump.out;
}

// A host profile, found compressed, makes "first" apply it rather than start.
TEST(PluginRunTest, ActivatesInBarrierOrderAndAFailedCommandFailsItsPluginOnce) {
  HostTree tree;
  InstallRecordCommand(tree);
  tree.Write("/etc/halvex/hostprofile.xml.gz", "x");
  tree.Write(kDebugConf, "c:b2:done:" + Append("c") + "\na: :b1:" + Append("a") + "\n\n" +
                             "b:b1:b2:" + Append("b") + "\n");
  tree.Write(kPlugins + "last.json", Json(R"("version": 1, "requires": ["done"], "provides": [])",
      R"("start": ["test nosuch", "test record --text=json", "test nosuch"])"));
  tree.Write(kPlugins + "first.json", Json(R"("version": 2, "requires": [], "provides": ["b1"])",
      R"("start": [], "apply_host_profile": ["test record --text=first"])"));
  RunResult run = tree.Run({"--parallel"});
  EXPECT_EQ(0, run.status) << run.out;
  Lines order = tree.ReadLines("/var/log/order.log");
  ASSERT_EQ(5u, order.size()) << run.out;
  std::sort(order.begin(), order.begin() + 2);  // both wait for nothing
  EXPECT_EQ((Lines{"a", "first", "b", "c", "json"}), order);
  Lines log = run.LogLines();
  EXPECT_EQ(1, std::count(log.begin(), log.end(), "error: Method invocation failed: "
                          "last->start() failed: error while executing the cli")) << run.out;
}

// Each command marks itself and waits, 5 s at most, for the other's mark:
// only commands that run at the same time can both succeed.
TEST(PluginRunTest, CommandsOfParallelPluginsOverlapAndSerialOnesCannot) {
  HostTree tree;
  InstallCommand(tree, "meet", "touch \"$KICKSTAND_ROOT/var/run/${1#--me=}\"\n"
                 "for i in $(seq 50); do [ -e \"$KICKSTAND_ROOT/var/run/${2#--other=}\" ] && "
                 "exit 0; sleep 0.1; done\nexit 1", R"([{"name": "me"}, {"name": "other"}])");
  for (auto [me, other] : {std::pair{"a", "b"}, {"b", "a"}})
    tree.Write(kPlugins + me + ".json", Json(R"("version": 1, "requires": [], "provides": [])",
        std::string(R"("start": ["test meet --me=)") + me + " --other=" + other + "\"]"));
  for (bool parallel : {true, false}) {
    for (const char* mark : {"/var/run/a", "/var/run/b", "/var/log/kernel.log"})
      boost::filesystem::remove(tree.Path(mark));
    RunResult run = tree.Run(parallel ? Lines{"--parallel"} : Lines{});
    std::string kernel = tree.Read("/var/log/kernel.log");
    EXPECT_EQ(parallel, kernel.find("activation failed") == std::string::npos) << run.out;
  }
}

// With a time limit, a plugin of each kind whose work hangs is ended with
// everything it started and fails as timed out (its kernel log line and
// alert are the activation tests'); what waits for it runs.
TEST(PluginRunTest, HangingPluginsAreEndedAtTheirTimeLimit) {
  HostTree tree;
  InstallCommand(tree, "hang", "sleep 600", "[]");
  tree.Write(kPlugins + "j.json", Json(R"("version": 1, "requires": [], "provides": ["up"])",
                                       R"("start": ["test hang"])"));
  boost::filesystem::copy_file(NATIVE_PLUGIN_HANG, tree.Path(kPlugins + "libn.so"));
  // The shell ends on SIGTERM; the sleep it started ignores it.
  tree.Write(kDebugConf, "net: :net:true\nd: :dbg:(trap '' TERM; exec sleep 600) & wait\n"
                         "after:app,up,dbg: :" + Append("after") + "\n");
  RunResult run = tree.Run({"--parallel", "--plugin-timeout=1"}, 4);
  EXPECT_FALSE(run.timedOut);
  for (std::string name : {"d", "j", "n"})
    EXPECT_TRUE(run.Logged("error: plugin " + name + " timed out after 1 s")) << run.out;
  EXPECT_EQ(Lines{"after"}, tree.ReadLines("/var/log/order.log"));
  for (int wait = 0; wait < 100 && !tree.Processes().empty(); ++wait)
    usleep(10000);  // the command executor's own end follows the run's
  EXPECT_EQ(std::vector<pid_t>{}, tree.Processes());
}

std::string Decompressed(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  std::string text(4096, '\0');
  text.resize(file ? std::max(0, gzread(file, &text[0], 4096)) : 0);
  gzclose(file);
  return text;
}

void WriteCompressed(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  gzputs(file, text.c_str());
  gzclose(file);
}

// A boot replaces the record with its own keys, sanitised; an invoke run
// skips the plugins recorded and adds its own keys.
TEST(PluginRunTest, BootAndInvokeRunsKeepTheRunOnceRecord) {
  HostTree tree;
  InstallRecordCommand(tree);
  const std::string ran = R"("start": ["test record --text=ran"],
                             "apply_host_profile": ["test record --text=ran"])";
  tree.Write(kPlugins + "once.json", Json(kV3 + R"(true, "plugin_version": "1.0")", ran));
  tree.Write(kPlugins + "we ird.json", Json(kV3 + R"(true, "plugin_version": "2/0")", ran));
  // Below version 3 a native plugin has neither flags nor run-once; the
  // boot's flag keeps the others out.
  for (auto [file, built] : {std::pair{"libalpha.so", NATIVE_PLUGIN_V3},
                             {"libnew.so", NATIVE_PLUGIN_V3}, {"libold.so", NATIVE_PLUGIN_V2}})
    boost::filesystem::copy_file(built, tree.Path(kPlugins + file));
  WriteCompressed(tree.Path(kRecord), "kickstand.run-once=old,\n");
  RunResult run = tree.Run({"--run-once= lead", "--plugin-flags=off"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_EQ("kickstand.run-once= lead,once1.0,weird20,\n", Decompressed(tree.Path(kRecord)));
  EXPECT_EQ((Lines{"native start 2", "ran", "ran"}), SortedOrder(tree));

  boost::filesystem::remove(tree.Path("/var/log/order.log"));
  WriteCompressed(tree.Path(kRecord), "kickstand.run-once= alpha1.0 ,,\n");
  run = tree.Run({"--invoke", "--method=apply_host_profile", "--plugin-flags=needed",
                  "--plugin=libalpha.so,libnew.so,libold.so,once.json"});
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_TRUE(run.Logged(
      "info: ignoring plugin 'alpha' because version '1.0'  has already been run.")) << run.out;
  EXPECT_TRUE(run.Logged("error: unable to invoke method 'apply_host_profile' on plugin 'old': "
                         "method `NativePlugin::ApplyHostProfile' is not implemented")) << run.out;
  EXPECT_EQ((Lines{"native apply_host_profile 3", "ran"}), SortedOrder(tree));
  EXPECT_EQ("kickstand.run-once=alpha1.0,new1.0,once1.0,\n", Decompressed(tree.Path(kRecord)));
}

// A record without its prefix holds no key.
TEST(PluginRunTest, ARecordWithoutItsPrefixIsEmptyAndAnUnwritableOneFailsTheRun) {
  HostTree tree;
  for (std::string stored : {"kickstand.run-twice=x,\n", "kickstand.run-once"}) {
    WriteCompressed(tree.Path(kRecord), stored);
    RunResult run = tree.Run({"--invoke", "--method=start", "--plugin=none.txt"});
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ("kickstand.run-once=\n", Decompressed(tree.Path(kRecord))) << stored;
  }
  boost::filesystem::remove_all(tree.Path("/bootbank"));
  RunResult run = tree.Run({});
  EXPECT_EQ(1, run.status) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("unable to create temporary file to write '" +
                                            tree.Path(kRecord) + "': No such file or directory"));
}

}  // namespace
