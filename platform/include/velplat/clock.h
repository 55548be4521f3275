// The platform clock behind GetTickCount, Sleep, SleepEx and every timed wait.
//
// Real time by default. A test may switch to virtual time, where the clock
// stands still until the test moves it: Advance walks forward one deadline at
// a time and wakes every thread whose sleep or timed wait has run out there,
// earliest deadline first (equal deadlines in the order they were set), and
// waits until those threads have left their waits before moving on. A thread
// woken by Advance that sleeps again while Advance is still running is woken
// again if its new deadline falls within the advance; to step a periodic
// sleeper deterministically, wait for it with WaitForBlocked before each
// Advance. Waits on objects still end at once when the object is signalled.
//
// Contract: switch modes before any thread starts a timed wait; a wait keeps
// the clock it started on. Infinite waits and zero timeouts never count as
// clock waits.
// Thread-safety: every function may be called from any thread; Advance and
// AdvanceToNextDeadline must not be called by a thread that one of them has
// to wake.
#ifndef VELPLAT_CLOCK_H
#define VELPLAT_CLOCK_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace velplat::clock {

// Switches to virtual time, starting at `startMs` (the value GetTickCount64
// then returns).
void UseVirtualTime(std::uint64_t startMs = 0);
// Switches back to the real monotonic clock.
void UseRealTime();
bool IsVirtual();

// The current reading of the active clock in milliseconds (GetTickCount64).
std::uint64_t NowMs();

// Moves virtual time forward by `by`, waking the due waiters in deadline order.
void Advance(std::chrono::milliseconds by);
// Moves virtual time to the earliest pending deadline and wakes the waiters
// due there. False, without moving, when no thread is in a virtual clock wait.
bool AdvanceToNextDeadline();
// The earliest pending virtual deadline, in clock milliseconds.
std::optional<std::uint64_t> NextDeadline();

// Threads blocked right now in a virtual timed wait or sleep.
std::size_t BlockedCount();
// Returns true as soon as at least `count` threads are blocked in virtual
// timed waits or sleeps, false after `realTimeout` of real time.
bool WaitForBlocked(std::size_t count, std::chrono::milliseconds realTimeout);

// Threads blocked right now in any wait or sleep of the kernel layer, timed or
// infinite, on either clock.
std::size_t WaiterCount();
// Like WaitForBlocked, for WaiterCount.
bool WaitForWaiters(std::size_t count, std::chrono::milliseconds realTimeout);

// Virtual time for the life of the scope (for tests).
class VirtualTimeScope {
 public:
  explicit VirtualTimeScope(std::uint64_t startMs = 0) { UseVirtualTime(startMs); }
  ~VirtualTimeScope() { UseRealTime(); }
  VirtualTimeScope(const VirtualTimeScope&) = delete;
  VirtualTimeScope& operator=(const VirtualTimeScope&) = delete;
};

}  // namespace velplat::clock

#endif
