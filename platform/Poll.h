#pragma once

/// The poll loop of the base utility library: callbacks run in the thread
/// that runs Poll_Loop whenever their descriptor is readable. There is one
/// loop per process; Poll_NotifyChange may be called from any thread.
using PollCallback = void (*)(void* clientData);

/// The only event type of the stand-in: the descriptor is readable.
const int POLL_EVENT_READ = 2;

/// Makes a fresh, empty loop (a forked child calls it to drop its parent's).
void Poll_InitDefault();
/// Registers callback for fd; 0 on success, -1 with errno set otherwise.
int Poll_Callback(int classSet, int flags, PollCallback callback, void* clientData,
                  int eventType, int fd, void* lock);
/// Runs callbacks until *stopFlag is non-zero; with loopForever 0, one round.
void Poll_Loop(int loopForever, char* stopFlag, int classSet);
/// Wakes Poll_Loop so that it looks at its stop flag and registrations again.
void Poll_NotifyChange(int classSet);
/// Removes a registration made with the same values; 0 when one was removed.
int Poll_CallbackRemove(int classSet, int flags, PollCallback callback,
                        void* clientData, int eventType);
