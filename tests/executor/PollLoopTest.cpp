#include <string>
#include <thread>
#include <unistd.h>
#include <gtest/gtest.h>

#include "platform/Poll.h"

namespace {

struct Pipe {
  Pipe() { EXPECT_EQ(0, pipe(fds)); }
  ~Pipe() {
    close(fds[0]);
    close(fds[1]);
  }
  void Write(const std::string& text) {
    EXPECT_EQ(ssize_t(text.size()), write(fds[1], text.data(), text.size()));
  }
  int fds[2];
};

struct Reader {
  Pipe pipe;
  std::string seen;
  char stop = 0;
  bool removeItself = false;
};

void ReadAll(void* data) {
  Reader& reader = *static_cast<Reader*>(data);
  char buffer[16];
  ssize_t n = read(reader.pipe.fds[0], buffer, sizeof buffer);
  reader.seen.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
  if (reader.seen.find('q') != std::string::npos)
    reader.stop = 1;
  if (reader.removeItself)
    Poll_CallbackRemove(1, 21, ReadAll, data, POLL_EVENT_READ);
}

TEST(InProcessPollLoop, RunsCallbacksUntilTheirStopFlagIsSet) {
  Poll_InitDefault();
  Reader reader;
  ASSERT_EQ(0,
            Poll_Callback(1, 21, ReadAll, &reader, POLL_EVENT_READ, reader.pipe.fds[0], nullptr));
  std::thread loop([&] { Poll_Loop(1, &reader.stop, 0); });
  reader.pipe.Write("ab");
  reader.pipe.Write("q");
  loop.join();
  EXPECT_EQ("abq", reader.seen);
}

TEST(InProcessPollLoop, RemovedCallbackNoLongerRuns) {
  Poll_InitDefault();
  Reader once, stopper;
  once.removeItself = true;
  ASSERT_EQ(0, Poll_Callback(1, 21, ReadAll, &once, POLL_EVENT_READ, once.pipe.fds[0], nullptr));
  ASSERT_EQ(0,
            Poll_Callback(1, 21, ReadAll, &stopper, POLL_EVENT_READ, stopper.pipe.fds[0], nullptr));
  once.pipe.Write("a");
  Poll_Loop(0, &stopper.stop, 0);
  once.pipe.Write("b");
  stopper.pipe.Write("q");
  Poll_Loop(1, &stopper.stop, 0);
  EXPECT_EQ("a", once.seen);
  EXPECT_EQ(-1, Poll_CallbackRemove(1, 21, ReadAll, &once, POLL_EVENT_READ));
}

TEST(InProcessPollLoop, WakeUpFromAnotherThreadEndsAWaitingRound) {
  Poll_InitDefault();
  char never = 0;
  std::thread loop([&] { Poll_Loop(0, &never, 0); });
  Poll_NotifyChange(1);
  loop.join();
}

}  // namespace
