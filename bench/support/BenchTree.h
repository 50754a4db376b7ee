#pragma once
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <boost/filesystem.hpp>

#include "support/ChildRun.h"

namespace bench_support {

/// A fresh, empty host tree under a short path (the control socket path
/// must fit a UNIX address); removed, with whatever still runs in it, on
/// destruction.
class BenchTree {
 public:
  BenchTree() {
    char pattern[] = "/tmp/kb.XXXXXX";
    if (!mkdtemp(pattern))
      throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    for (const char* dir : {"/usr/libexec/kickstand/plugins", "/etc/halvex/kickstand", "/var/log",
                            "/bootbank", "/usr/lib/halvex/tarncli/int/ext",
                            "/usr/lib/halvex/tarncli/ext"})
      boost::filesystem::create_directories(Path(dir));
  }
  ~BenchTree() {
    for (pid_t pid : ProcessesOfRoot(root_)) kill(pid, SIGKILL);
    boost::system::error_code ignored;
    boost::filesystem::remove_all(root_, ignored);
  }
  BenchTree(const BenchTree&) = delete;
  BenchTree& operator=(const BenchTree&) = delete;

  const std::string& Root() const { return root_; }
  std::string Path(const std::string& hostPath) const { return root_ + hostPath; }
  void Write(const std::string& hostPath, const std::string& content) const {
    std::ofstream(Path(hostPath), std::ios::trunc) << content;
  }

  /// One boot of the kickstand under test in this tree, started through
  /// launcher when one is given; waits until its command executor process
  /// has ended too.
  ChildCost Boot(const std::vector<std::string>& args,
                 const std::vector<std::string>& launcher = {}) const {
    std::vector<std::string> argv = launcher;
    argv.push_back(KICKSTAND_BINARY);
    argv.insert(argv.end(), args.begin(), args.end());
    ChildCost cost = RunChild(argv, EnvironmentWithRoot(root_));
    AwaitQuietRoot(root_);
    return cost;
  }

 private:
  std::string root_;
};

}  // namespace bench_support
