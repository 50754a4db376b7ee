#pragma once

namespace kickstand {

/// The descriptors a daemon command's child is given: "/" as its working
/// directory, /dev/null as standard input and output, /dev/log as standard
/// error, each falling back to the one before when it cannot be opened.
/// Closes them on destruction.
class DaemonDescriptors {
 public:
  /// Ends the process when "/" cannot be opened: nothing could be spawned.
  DaemonDescriptors();
  ~DaemonDescriptors();
  DaemonDescriptors(const DaemonDescriptors&) = delete;
  DaemonDescriptors& operator=(const DaemonDescriptors&) = delete;

  int Root() const { return root_; }
  int Null() const { return null_; }
  int Log() const { return log_; }

 private:
  int root_;
  int null_;
  int log_;
};

}  // namespace kickstand
