#include "driver/RunLock.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/Fakes.h"
#include "support/ScratchRoot.h"
#include "util/Interruption.h"

namespace {

using kickstand::RunLock;
using testing_support::ScratchRoot;

/// Another run's hold on the lock, which it gives up once the waiting run
/// has slept a second on this clock.
struct HolderLeavingAfterASecond : testing_support::FakeClock {
  void Sleep(unsigned microseconds) const override {
    FakeClock::Sleep(microseconds);
    if (slept >= 1000000 && holder >= 0)
      close(holder), holder = -1;
  }
  mutable int holder = -1;
};

std::string Waiting(long pid) {
  return "another kickstand run (pid " + std::to_string(pid) +
         ") is in progress; waiting for it to finish\n";
}

// Waits for the holder, says so once, naming it; an interruption ends the
// wait; where no lock can be had, says why and goes on.
TEST(RunLock, WaitsForTheRunHoldingItAndGoesOnWithoutItWhereNoneCanBeHad) {
  testing_support::WriteScratchFile("/var/run/halvex/kickstand.lock", "4242\n");
  const std::string path = ScratchRoot() + "/var/run/halvex/kickstand.lock";
  HolderLeavingAfterASecond clock;
  clock.holder = open(path.c_str(), O_RDWR);
  ASSERT_EQ(0, flock(clock.holder, LOCK_EX));
  kickstand::Interruption interruption, interrupted;
  interrupted.Interrupt(SIGTERM);
  RunLock lock(clock, interruption), second(clock, interrupted), nowhere(clock, interruption);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunLock::Outcome::Held, lock.Take(path));
  EXPECT_EQ(Waiting(4242), testing::internal::GetCapturedStderr());
  EXPECT_EQ(1000000u, clock.slept);  // a look every 20 ms
  EXPECT_EQ(getpid(), std::stol(testing_support::ReadScratchFile("/var/run/halvex/kickstand.lock")));

  testing::internal::CaptureStderr();
  EXPECT_EQ(RunLock::Outcome::Interrupted, second.Take(path));
  EXPECT_EQ(RunLock::Outcome::Unlocked, nowhere.Take(path + "/x"));
  EXPECT_EQ(Waiting(getpid()) + "unable to lock " + path + "/x: Not a directory; this run goes on without the "
                "lock\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ(1000000u, clock.slept);
}

}  // namespace
