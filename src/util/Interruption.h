#pragma once
#include <atomic>
#include <string>

namespace kickstand {

/// A run ended from outside by a signal. Once interrupted, no further
/// plugin starts, every wait that watches it gives up what it waited for,
/// and a file replacement it overtakes is abandoned. The first signal counts.
class Interruption {
 public:
  Interruption();
  ~Interruption();
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;

  /// From any thread; later calls change nothing.
  void Interrupt(int signal);
  bool Interrupted() const { return signal_.load() != 0; }
  /// The signal, 0 while not interrupted.
  int Signal() const { return signal_.load(); }
  /// "interrupted by SIGTERM".
  std::string What() const;
  /// A descriptor that hangs up (POLLHUP) once interrupted, for poll. A
  /// hang-up of a socket's peer, not the close of a pipe's end, so copies
  /// of it in forked children do not hold it off.
  int Watch() const { return ends_[1]; }

  /// "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
  static std::string SignalName(int signal);

 private:
  std::atomic<int> signal_{0};
  int ends_[2] = {-1, -1};
};

}  // namespace kickstand
