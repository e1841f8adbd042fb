#pragma once
// Waiting for an advisory file lock, for a bounded time.
//
// flock() either refuses at once (LOCK_NB) or waits for ever. A writer that polls with
// LOCK_NB between pauses only gets the lock if it asks in the moment between two other
// holders; when several programs take turns at one file as fast as they can, such a moment
// may not come for seconds. A waiter queued in the kernel is woken when the lock is let go,
// so it gets its turn among the others.
#include <chrono>

namespace vx {

// Takes `operation` (LOCK_SH or LOCK_EX) on the open file description of `fd`, waiting up to
// `timeout` for the holders to let go. True when the lock is held; else errno tells why
// (EWOULDBLOCK when the time ran out).
//
// The wait runs in a helper thread on a duplicate of `fd`. A wait that times out leaves that
// thread queued; once it gets the lock it lets go at once and closes its duplicate, so an
// abandoned wait holds the lock for no more than a moment and never keeps it.
bool lockWithin(int fd, int operation, std::chrono::milliseconds timeout);

}  // namespace vx
