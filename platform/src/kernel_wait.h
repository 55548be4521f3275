// The wait core shared by events, mutexes, threads, sleeps and the clock.
//
// One process-wide kernel lock guards the state of every waitable object,
// every waiter and the virtual timer queue. A waiting thread queues a Waiter
// on each object it waits for; whoever makes an object signalled calls
// WakeWaiters, which satisfies queued waiters in arrival order on their
// behalf (taking a mutex, resetting an auto-reset event) and wakes only those
// threads. Timeouts and queued APCs resolve a waiter the same way.
// Thread-safety: members marked "under the lock" need KernelMutex() held.
#ifndef VELPLAT_SRC_KERNEL_WAIT_H
#define VELPLAT_SRC_KERNEL_WAIT_H

#include "kernel_object.h"

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace velplat::kernel {

class ThreadRecord;
struct Waiter;

std::mutex& KernelMutex();

class Waitable : public Object {
 public:
  // Under the lock: whether a wait by `thread` would be satisfied now; with a
  // null thread, whether a wait by any thread would be.
  virtual bool IsSignalledFor(const ThreadRecord* thread) const = 0;
  // Under the lock: takes the signal for `thread`, which IsSignalledFor
  // allowed. True when that acquired an abandoned mutex.
  virtual bool Acquire(ThreadRecord& thread) = 0;

 protected:
  // Under the lock: satisfies the queued waiters that can now be satisfied,
  // first come first served. Call whenever the object may have become
  // signalled.
  void WakeWaiters();

 private:
  friend struct WaitCore;
  std::list<Waiter*> waiters_;
};

enum class WaitFor { Any, All };
enum class Alert { No, Yes };

// Waits for `objects` (none: a plain sleep) and returns the Win32 wait result.
// Runs queued APCs on the calling thread when the wait is alertable.
DWORD Wait(std::span<const std::shared_ptr<Waitable>> objects, WaitFor mode, DWORD timeoutMs, Alert alert);

// One blocked wait; lives on the waiting thread's stack.
struct Waiter {
  ThreadRecord* thread = nullptr;
  std::span<const std::shared_ptr<Waitable>> objects;
  WaitFor mode = WaitFor::Any;
  Alert alert = Alert::No;
  std::optional<DWORD> result;                      // set once, by whoever resolves the wait
  std::vector<std::list<Waiter*>::iterator> links;  // its place in each object's queue
  // Virtual clock bookkeeping (see clock_internal.h).
  bool onTimer = false;
  std::multimap<uint64_t, Waiter*>::iterator timerPos;
  bool ackOnLeave = false;
};

// Under the lock: ends `waiter`'s wait with `result`, takes it off every queue
// and the timer, and wakes its thread. Does nothing if already resolved.
void Resolve(Waiter& waiter, DWORD result);

}  // namespace velplat::kernel

#endif
