// The platform clock: real monotonic time, or virtual time that only Advance
// moves, with the queue of virtual deadlines; GetTickCount and GetTickCount64.
#include <velplat/clock.h>

#include "clock_internal.h"
#include "kernel_thread.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>

namespace velplat::clock {
namespace {

using kernel::KernelMutex;
using kernel::Waiter;

// Guarded by the kernel lock, except the two atomics that readers of the
// clock use without it.
struct VirtualClock {
  std::atomic<bool> virtualMode{false};
  std::atomic<uint64_t> now{0};
  std::multimap<uint64_t, Waiter*> timers;  // equal deadlines keep their arrival order
  size_t waiters = 0;                       // threads in any blocking wait
  size_t unacknowledged = 0;                // woken by Advance, not yet out of their waits
  std::condition_variable changed;          // waits start, end or are acknowledged
};

VirtualClock& Clock() {
  static VirtualClock* clock = new VirtualClock();  // used by threads that outlive main
  return *clock;
}

// Under the lock: times out every waiter due at the earliest deadline if it is
// no later than `limit`, then waits until they have left their waits. False
// when nothing was due.
bool WakeEarliest(std::unique_lock<std::mutex>& lock, uint64_t limit) {
  auto& c = Clock();
  if (c.timers.empty() || c.timers.begin()->first > limit) return false;
  const uint64_t deadline = c.timers.begin()->first;
  if (deadline > c.now.load()) c.now.store(deadline);  // never backwards
  while (!c.timers.empty() && c.timers.begin()->first == deadline) {
    Waiter& waiter = *c.timers.begin()->second;
    waiter.ackOnLeave = true;
    ++c.unacknowledged;
    kernel::Resolve(waiter, WAIT_TIMEOUT);  // also takes it off the queue
  }
  c.changed.wait(lock, [&] { return c.unacknowledged == 0; });
  return true;
}

bool WaitForCount(std::chrono::milliseconds realTimeout, const auto& reached) {
  std::unique_lock lock(KernelMutex());
  return Clock().changed.wait_for(lock, realTimeout, reached);
}

}  // namespace

void UseVirtualTime(std::uint64_t startMs) {
  std::lock_guard lock(KernelMutex());
  Clock().now.store(startMs);
  Clock().virtualMode.store(true);
}

void UseRealTime() { Clock().virtualMode.store(false); }

bool IsVirtual() { return Clock().virtualMode.load(); }

std::uint64_t NowMs() { return IsVirtual() ? Clock().now.load() : detail::RealNowMs(); }

void Advance(std::chrono::milliseconds by) {
  std::unique_lock lock(KernelMutex());
  auto& c = Clock();
  const uint64_t target = c.now.load() + static_cast<uint64_t>(std::max<int64_t>(by.count(), 0));
  while (WakeEarliest(lock, target)) {
  }
  c.now.store(std::max(target, c.now.load()));
}

bool AdvanceToNextDeadline() {
  std::unique_lock lock(KernelMutex());
  return WakeEarliest(lock, UINT64_MAX);
}

std::optional<std::uint64_t> NextDeadline() {
  std::lock_guard lock(KernelMutex());
  auto& c = Clock();
  if (c.timers.empty()) return std::nullopt;
  return c.timers.begin()->first;
}

std::size_t BlockedCount() {
  std::lock_guard lock(KernelMutex());
  return Clock().timers.size();
}

bool WaitForBlocked(std::size_t count, std::chrono::milliseconds realTimeout) {
  return WaitForCount(realTimeout, [count] { return Clock().timers.size() >= count; });
}

std::size_t WaiterCount() {
  std::lock_guard lock(KernelMutex());
  return Clock().waiters;
}

bool WaitForWaiters(std::size_t count, std::chrono::milliseconds realTimeout) {
  return WaitForCount(realTimeout, [count] { return Clock().waiters >= count; });
}

namespace detail {

bool VirtualMode() { return Clock().virtualMode.load(); }

uint64_t RealNowMs() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void StartVirtualTimer(Waiter& waiter, DWORD timeoutMs) {
  auto& c = Clock();
  waiter.timerPos = c.timers.emplace(c.now.load() + timeoutMs, &waiter);
  waiter.onTimer = true;
  c.changed.notify_all();
}

void StopVirtualTimer(Waiter& waiter) {
  if (!waiter.onTimer) return;
  Clock().timers.erase(waiter.timerPos);
  waiter.onTimer = false;
}

void WaitStarted() {
  ++Clock().waiters;
  Clock().changed.notify_all();
}

void WaitEnded(Waiter& waiter) {
  auto& c = Clock();
  --c.waiters;
  if (waiter.ackOnLeave) --c.unacknowledged;
  c.changed.notify_all();
}

}  // namespace detail
}  // namespace velplat::clock

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(velplat::clock::NowMs()); }

ULONGLONG WINAPI GetTickCount64(void) { return velplat::clock::NowMs(); }
