// The virtual clock: sleeps and timed waits end exactly when the test has
// advanced past their deadline, in deadline order, and not before.
#include <velplat/clock.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using velplat::clock::Advance;
using velplat::clock::AdvanceToNextDeadline;
using velplat::clock::BlockedCount;
using velplat::clock::NextDeadline;
using velplat::clock::NowMs;
using velplat::clock::VirtualTimeScope;
using velplat::clock::WaitForBlocked;

DWORD WINAPI SleepFor(LPVOID milliseconds) {
  Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(milliseconds)));
  return 0;
}

HANDLE StartSleeper(DWORD milliseconds) {
  HANDLE thread = CreateThread(nullptr, 0, SleepFor, reinterpret_cast<LPVOID>(uintptr_t{milliseconds}), 0, nullptr);
  EXPECT_NE(thread, nullptr);
  return thread;
}

bool HasEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

TEST(VirtualClock, TwentySecondSleepEndsAtTwentySecondsAndNotBefore) {
  VirtualTimeScope virtualTime;
  HANDLE sleeper = StartSleeper(20000);
  ASSERT_TRUE(WaitForBlocked(1, 5s));
  Advance(19999ms);
  EXPECT_FALSE(HasEnded(sleeper));
  EXPECT_EQ(BlockedCount(), 1u);
  Advance(1ms);
  ASSERT_EQ(BlockedCount(), 0u);  // Advance returns once the sleeper is out
  EXPECT_EQ(WaitForSingleObject(sleeper, INFINITE), WAIT_OBJECT_0);
  CloseHandle(sleeper);
}

TEST(VirtualClock, TickCountReadsTheVirtualClockAndWraps) {
  VirtualTimeScope virtualTime(1000);
  EXPECT_EQ(GetTickCount64(), 1000u);
  Advance(250ms);
  EXPECT_EQ(GetTickCount(), 1250u);
  velplat::clock::UseVirtualTime(0xFFFFFFFFull - 5);
  EXPECT_EQ(GetTickCount(), 0xFFFFFFFAu);
  Advance(10ms);
  EXPECT_EQ(GetTickCount(), 4u);
  EXPECT_EQ(GetTickCount64(), 0x100000004ull);
}

struct TimedWait {
  HANDLE event;
  DWORD result = WAIT_FAILED;
};

DWORD WINAPI WaitNinetySeconds(LPVOID raw) {
  auto* wait = static_cast<TimedWait*>(raw);
  wait->result = WaitForSingleObjectEx(wait->event, 90000, TRUE);
  return 0;
}

TEST(VirtualClock, NinetySecondEventWaitTimesOutOnlyOnceAdvanced) {
  VirtualTimeScope virtualTime;
  TimedWait wait{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE waiter = CreateThread(nullptr, 0, WaitNinetySeconds, &wait, 0, nullptr);
  ASSERT_TRUE(WaitForBlocked(1, 5s));
  EXPECT_EQ(NextDeadline(), 90000u);
  Advance(89999ms);
  EXPECT_FALSE(HasEnded(waiter));
  Advance(1ms);
  ASSERT_EQ(BlockedCount(), 0u);
  ASSERT_EQ(WaitForSingleObject(waiter, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(wait.result, WAIT_TIMEOUT);
  CloseHandle(waiter);
  CloseHandle(wait.event);
}

TEST(VirtualClock, SignalEndsATimedWaitWithoutAnyAdvance) {
  VirtualTimeScope virtualTime;
  TimedWait wait{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE waiter = CreateThread(nullptr, 0, WaitNinetySeconds, &wait, 0, nullptr);
  ASSERT_TRUE(WaitForBlocked(1, 5s));
  SetEvent(wait.event);
  ASSERT_EQ(WaitForSingleObject(waiter, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(wait.result, WAIT_OBJECT_0);
  EXPECT_EQ(NowMs(), 0u);
  EXPECT_FALSE(NextDeadline().has_value());  // its deadline left with it
  CloseHandle(waiter);
  CloseHandle(wait.event);
}

void CALLBACK IgnoreApc(ULONG_PTR) {}

TEST(VirtualClock, ApcEndsAnAlertableTimedWaitAndItsDeadline) {
  VirtualTimeScope virtualTime;
  TimedWait wait{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE waiter = CreateThread(nullptr, 0, WaitNinetySeconds, &wait, 0, nullptr);
  ASSERT_TRUE(WaitForBlocked(1, 5s));
  QueueUserAPC(IgnoreApc, waiter, 0);
  ASSERT_EQ(WaitForSingleObject(waiter, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(wait.result, WAIT_IO_COMPLETION);
  EXPECT_FALSE(NextDeadline().has_value());
  CloseHandle(waiter);
  CloseHandle(wait.event);
}

TEST(VirtualClock, SleepersWakeOneDeadlineAtATimeEarliestFirst) {
  VirtualTimeScope virtualTime;
  HANDLE late = StartSleeper(30000);
  HANDLE early = StartSleeper(10000);
  HANDLE middle = StartSleeper(20000);
  ASSERT_TRUE(WaitForBlocked(3, 5s));

  ASSERT_TRUE(AdvanceToNextDeadline());
  EXPECT_EQ(NowMs(), 10000u);
  ASSERT_EQ(BlockedCount(), 2u);
  EXPECT_EQ(WaitForSingleObject(early, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(HasEnded(middle));

  ASSERT_TRUE(AdvanceToNextDeadline());
  EXPECT_EQ(NowMs(), 20000u);
  ASSERT_EQ(BlockedCount(), 1u);
  EXPECT_EQ(WaitForSingleObject(middle, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(HasEnded(late));

  Advance(60s);  // past the last deadline: the clock ends at the target
  EXPECT_EQ(WaitForSingleObject(late, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(NowMs(), 80000u);
  EXPECT_FALSE(AdvanceToNextDeadline());
  for (HANDLE h : {early, middle, late}) CloseHandle(h);
}

struct Periodic {
  std::vector<ULONGLONG> wakeTimes;
};

DWORD WINAPI SleepThreeTimes(LPVOID raw) {
  auto* periodic = static_cast<Periodic*>(raw);
  for (int i = 0; i < 3; ++i) {
    Sleep(20000);
    periodic->wakeTimes.push_back(GetTickCount64());
  }
  return 0;
}

TEST(VirtualClock, PeriodicSleeperSteppedByThePeriodWakesOnEachPeriod) {
  VirtualTimeScope virtualTime;
  Periodic periodic;
  HANDLE thread = CreateThread(nullptr, 0, SleepThreeTimes, &periodic, 0, nullptr);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(WaitForBlocked(1, 5s));
    Advance(20s);
  }
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(periodic.wakeTimes, (std::vector<ULONGLONG>{20000, 40000, 60000}));
  CloseHandle(thread);
}

TEST(VirtualClock, HundredsOfSleepersWakeTogether) {
  VirtualTimeScope virtualTime;
  constexpr size_t kSleepers = 200;
  std::vector<HANDLE> sleepers;
  for (size_t i = 0; i < kSleepers; ++i) sleepers.push_back(StartSleeper(20000));
  ASSERT_TRUE(WaitForBlocked(kSleepers, 10s));
  Advance(19999ms);
  EXPECT_EQ(BlockedCount(), kSleepers);
  Advance(1ms);
  ASSERT_EQ(BlockedCount(), 0u);
  for (size_t first = 0; first < kSleepers; first += MAXIMUM_WAIT_OBJECTS) {
    const DWORD count = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, kSleepers - first));
    EXPECT_EQ(WaitForMultipleObjects(count, &sleepers[first], TRUE, INFINITE), WAIT_OBJECT_0);
  }
  for (HANDLE h : sleepers) CloseHandle(h);
}

DWORD WINAPI WaitForeverOn(LPVOID event) { return WaitForSingleObject(static_cast<HANDLE>(event), INFINITE); }

TEST(VirtualClock, InfiniteAndZeroWaitsAreNotClockWaits) {
  VirtualTimeScope virtualTime;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE waiter = CreateThread(nullptr, 0, WaitForeverOn, event, 0, nullptr);
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 5s));
  EXPECT_EQ(BlockedCount(), 0u);
  EXPECT_FALSE(AdvanceToNextDeadline());
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // returns without advancing
  Sleep(0);
  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(waiter, INFINITE), WAIT_OBJECT_0);
  CloseHandle(waiter);
  CloseHandle(event);
}

}  // namespace
