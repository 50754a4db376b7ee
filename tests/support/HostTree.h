#pragma once
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

struct RunResult {
  int status = -1;          // exit status, or 128 + signal
  bool timedOut = false;
  std::string out;          // standard output
  std::string err;          // standard error
  /// The log lines of standard output with the time stamp and process id
  /// cut off: "info: Launching Executor".
  std::vector<std::string> LogLines() const;
  bool Logged(const std::string& line) const;
};

/// A fresh host tree under a short temporary path (the control socket path
/// must fit a UNIX address), with the native executor installed. Runs
/// build/kickstand against it and, on destruction, ends every process that
/// still runs with this root and removes the tree.
class HostTree {
 public:
  HostTree();
  ~HostTree();
  HostTree(const HostTree&) = delete;
  HostTree& operator=(const HostTree&) = delete;

  const std::string& Root() const { return root_; }
  /// Root + hostPath ("/var/log/kernel.log").
  std::string Path(const std::string& hostPath) const;
  void Write(const std::string& hostPath, const std::string& content, mode_t mode = 0644) const;
  /// A shell script (#!/bin/sh is added).
  void WriteScript(const std::string& hostPath, const std::string& body) const;
  std::string Read(const std::string& hostPath) const;
  bool Exists(const std::string& hostPath) const;
  std::vector<std::string> ReadLines(const std::string& hostPath) const;

  /// Runs build/kickstand with args; the run is killed after timeoutSeconds.
  RunResult Run(const std::vector<std::string>& args, int timeoutSeconds = 60,
                const std::string& workingDirectory = "/") const;
  /// Live processes (other than this one) whose environment names this root.
  std::vector<pid_t> Processes() const;
  /// Ends those processes (a left command executor, a daemon script).
  void KillLeftovers() const;

 private:
  std::string root_;
};

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testing_support
