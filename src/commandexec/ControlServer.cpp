#include "commandexec/ControlServer.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "commandexec/TarncliExecutor.h"
#include "platform/Log.h"
#include "platform/Poll.h"

namespace kickstand {
namespace {

const int kPollClassSet = 1;
const int kPollFlags = 21;
/// A client that has sent nothing for this many ticks of a second, more
/// than 10 seconds, is dropped.
const uint64_t kIdleTicks = 11;

int RegisterRead(PollCallback callback, void* data, int fd) {
  return Poll_Callback(kPollClassSet, kPollFlags, callback, data, POLL_EVENT_READ, fd, nullptr);
}

void Unregister(PollCallback callback, void* data) {
  Poll_CallbackRemove(kPollClassSet, kPollFlags, callback, data, POLL_EVENT_READ);
}

int AcceptConnection(int listener) {
  int connection;
  while ((connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) < 0 && errno == EINTR) {
  }
  if (connection < 0)
    Log_Level(3, "Error accepting connection on contol socket - %s\n\n", strerror(errno));
  return connection;
}

/// Whether the request, or the end of it, is there to be read.
bool Readable(int connection) {
  pollfd ready{connection, POLLIN, 0};
  return poll(&ready, 1, 0) > 0;
}

}  // namespace

ControlServer::ControlServer(int listener, size_t workers, int lifeline)
    : listener_(listener),
      lifeline_(lifeline),
      stopEvent_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      ticker_(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK)),
      workers_(workers, [this](int connection) { Serve(connection); }) {}

ControlServer::~ControlServer() {
  workers_.Drain();
  for (const auto& pending : pending_)
    close(pending.first);
  for (int connection : stopClients_)
    close(connection);
  close(stopEvent_);
  close(ticker_);
}

bool ControlServer::Register() {
  return stopEvent_ >= 0 && ticker_ >= 0 && RegisterRead(Accept, this, listener_) == 0 &&
         RegisterRead(StopRequested, this, stopEvent_) == 0 &&
         RegisterRead(Tick, this, ticker_) == 0 &&
         (lifeline_ < 0 || RegisterRead(StarterEnded, this, lifeline_) == 0);
}

void ControlServer::Accept(void* server) {
  auto* self = static_cast<ControlServer*>(server);
  int connection = AcceptConnection(self->listener_);
  if (connection < 0)
    return;
  uint64_t number = self->accepted_++;
  if (Readable(connection))
    self->workers_.Add(number, connection);
  else
    self->Wait(connection, number);
}

void ControlServer::Wait(int connection, uint64_t number) {
  Pending& pending = pending_[connection] = Pending{this, connection, number, 0};
  if (RegisterRead(RequestArrived, &pending, connection) != 0) {
    pending_.erase(connection);
    workers_.Add(number, connection);
  } else if (pending_.size() == 1) {
    SetTicking(true);
  }
}

void ControlServer::RequestArrived(void* pending) {
  const Pending& arrived = *static_cast<Pending*>(pending);
  ControlServer* self = arrived.server;
  uint64_t number = arrived.number;
  self->workers_.Add(number, self->Forget(arrived.connection));
}

int ControlServer::Forget(int connection) {
  Unregister(RequestArrived, &pending_.at(connection));
  pending_.erase(connection);
  if (pending_.empty())
    SetTicking(false);
  return connection;
}

// Ticks only while a client is waited for, so an idle executor sleeps.
void ControlServer::SetTicking(bool on) {
  itimerspec every{{on ? 1 : 0, 0}, {on ? 1 : 0, 0}};  // all zero stops it
  timerfd_settime(ticker_, 0, &every, nullptr);
}

void ControlServer::Tick(void* server) {
  auto* self = static_cast<ControlServer*>(server);
  uint64_t ticks = 0;
  if (read(self->ticker_, &ticks, sizeof ticks) != sizeof ticks)
    return;  // stopped since it fired
  std::vector<int> idle;
  for (auto& [connection, pending] : self->pending_)
    if ((pending.ticks += ticks) >= kIdleTicks)
      idle.push_back(connection);
  for (int connection : idle) {
    Log_Level(3, "Failed to read message from socket - %s\n\n", strerror(ETIMEDOUT));
    close(self->Forget(connection));
  }
}

void ControlServer::StopRequested(void* server) {
  auto* self = static_cast<ControlServer*>(server);
  uint64_t requests;
  (void)!read(self->stopEvent_, &requests, sizeof requests);
  self->StopServing();
}

// Its commands' clients went with it, so each is ended as when its client
// leaves, and the executor ends once they are.
void ControlServer::StarterEnded(void* server) {
  Log_Level(5, "The run that started the executor has ended; stopping\n");
  static_cast<ControlServer*>(server)->StopServing();
}

void ControlServer::StopServing() {
  stopped_ = 1;
  shutdown(listener_, SHUT_RDWR);  // a client now is refused, not left waiting
  Unregister(Accept, this);
  Unregister(StopRequested, this);
  Unregister(StarterEnded, this);
  Unregister(Tick, this);
  // Clients whose request has come meanwhile are still served.
  while (!pending_.empty()) {
    uint64_t number = pending_.begin()->second.number;
    int connection = Forget(pending_.begin()->first);
    if (Readable(connection))
      workers_.Add(number, connection);
    else
      close(connection);
  }
}

void ControlServer::Serve(int connection) {
  if (!TarncliExecutor::HandleControlConnection(connection)) {
    close(connection);
    return;
  }
  std::lock_guard<std::mutex> lock(stopMutex_);
  stopClients_.push_back(connection);
  uint64_t one = 1;
  (void)!write(stopEvent_, &one, sizeof one);
}

}  // namespace kickstand
