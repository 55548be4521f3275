// The clock as the wait core sees it: which clock a new timed wait uses, the
// virtual timer queue, and the counters that tests synchronise on.
// Thread-safety: functions marked "under the lock" need kernel::KernelMutex();
// the others take what they need.
#ifndef VELPLAT_SRC_CLOCK_INTERNAL_H
#define VELPLAT_SRC_CLOCK_INTERNAL_H

#include "kernel_wait.h"

#include <chrono>
#include <cstdint>

namespace velplat::clock::detail {

bool VirtualMode();
// Milliseconds on the real monotonic clock (counting time suspended).
uint64_t RealNowMs();

// Under the lock: queues `waiter` to time out `timeoutMs` of virtual time
// from now.
void StartVirtualTimer(kernel::Waiter& waiter, DWORD timeoutMs);
// Under the lock: takes `waiter` off the virtual timer queue if it is on it.
void StopVirtualTimer(kernel::Waiter& waiter);

// Under the lock: a thread enters / leaves a blocking wait. Leaving
// acknowledges an Advance that woke it.
void WaitStarted();
void WaitEnded(kernel::Waiter& waiter);

}  // namespace velplat::clock::detail

#endif
