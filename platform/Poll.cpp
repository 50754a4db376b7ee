#include "platform/Poll.h"

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

struct Registration {
  int classSet;
  int flags;
  PollCallback callback;
  void* clientData;
  int fd;
};

bool SameRegistration(const Registration& a, const Registration& b) {
  return a.classSet == b.classSet && a.flags == b.flags && a.callback == b.callback &&
         a.clientData == b.clientData && a.fd == b.fd;
}

struct PollState {
  std::mutex mutex;
  std::vector<Registration> registrations;
  int wakeFd = -1;
};

PollState& State() {
  static PollState* state = new PollState();  // outlives every thread
  return *state;
}

bool StillRegistered(PollState& state, const Registration& wanted) {
  std::lock_guard<std::mutex> guard(state.mutex);
  for (const Registration& registration : state.registrations)
    if (SameRegistration(registration, wanted)) return true;
  return false;
}

/// The wake-up descriptor first, then one entry per registration.
std::vector<pollfd> Watched(PollState& state, std::vector<Registration>& snapshot) {
  std::lock_guard<std::mutex> guard(state.mutex);
  snapshot = state.registrations;
  std::vector<pollfd> fds{{state.wakeFd, POLLIN, 0}};
  for (const Registration& registration : snapshot)
    fds.push_back({registration.fd, POLLIN, 0});
  return fds;
}

void WaitAndDispatch(PollState& state) {
  std::vector<Registration> snapshot;
  std::vector<pollfd> fds = Watched(state, snapshot);
  if (poll(fds.data(), fds.size(), -1) < 0)
    return;  // EINTR: the caller looks at its stop flag again
  uint64_t wakeUps;
  if (fds[0].revents & POLLIN)
    (void)!read(fds[0].fd, &wakeUps, sizeof wakeUps);
  for (size_t i = 1; i < fds.size(); ++i) {
    const Registration& registration = snapshot[i - 1];
    // An earlier callback of this round may have removed this one.
    if (fds[i].revents && !(fds[i].revents & POLLNVAL) && StillRegistered(state, registration))
      registration.callback(registration.clientData);
  }
}

}  // namespace

void Poll_InitDefault() {
  PollState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (state.wakeFd >= 0)
    close(state.wakeFd);
  state.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  state.registrations.clear();
}

int Poll_Callback(int classSet, int flags, PollCallback callback, void* clientData,
                  int eventType, int fd, void*) {
  PollState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (eventType != POLL_EVENT_READ || !callback || fd < 0 || state.wakeFd < 0) {
    errno = EINVAL;
    return -1;
  }
  state.registrations.push_back({classSet, flags, callback, clientData, fd});
  return 0;
}

void Poll_Loop(int loopForever, char* stopFlag, int) {
  PollState& state = State();
  do {
    if (*stopFlag)
      return;
    WaitAndDispatch(state);
  } while (loopForever);
}

void Poll_NotifyChange(int) {
  PollState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  uint64_t one = 1;
  if (state.wakeFd >= 0)
    (void)!write(state.wakeFd, &one, sizeof one);
}

int Poll_CallbackRemove(int classSet, int flags, PollCallback callback, void* clientData,
                        int eventType) {
  PollState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  std::vector<Registration>& all = state.registrations;
  for (auto it = all.begin(); it != all.end(); ++it) {
    Registration wanted{classSet, flags, callback, clientData, it->fd};
    if (eventType == POLL_EVENT_READ && SameRegistration(*it, wanted)) {
      all.erase(it);
      return 0;
    }
  }
  errno = ENOENT;
  return -1;
}
