// Events and the wait functions: reset modes, wait-any / wait-all, timeouts,
// argument and handle errors, injected failures.
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

HANDLE NewEvent(bool manualReset, bool signalled) {
  HANDLE event = CreateEventA(nullptr, manualReset, signalled, nullptr);
  EXPECT_NE(event, nullptr);
  return event;
}

TEST(KernelEvents, AutoResetEventHandsItsSignalToOneWaitOnly) {
  HANDLE event = NewEvent(false, true);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  SetEvent(event);  // signals do not add up
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(KernelEvents, ManualResetEventStaysSignalledUntilReset) {
  HANDLE event = NewEvent(true, false);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(KernelEvents, AutoResetSetReleasesOneBlockedWaiterAtATime) {
  HANDLE event = NewEvent(false, false);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i)
    waiters.emplace_back([&] {
      EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
      ++woken;
    });
  ASSERT_TRUE(velplat::clock::WaitForWaiters(2, 5s));
  SetEvent(event);
  // The signal went to a waiter, not to whoever asks next.
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  SetEvent(event);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 2);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(KernelEvents, ManualResetSetReleasesEveryBlockedWaiter) {
  HANDLE event = NewEvent(true, false);
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] { EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0); });
  ASSERT_TRUE(velplat::clock::WaitForWaiters(3, 5s));
  SetEvent(event);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(event);
}

TEST(KernelWaits, RealTimedWaitOnUnsignalledEventTimesOut) {
  HANDLE event = NewEvent(true, false);
  const ULONGLONG before = GetTickCount64();
  EXPECT_EQ(WaitForSingleObject(event, 30), WAIT_TIMEOUT);
  EXPECT_GE(GetTickCount64() - before, 29u);  // tick granularity
  CloseHandle(event);
}

TEST(KernelWaits, WaitAnyReportsTheLowestSignalledIndex) {
  HANDLE events[3] = {NewEvent(true, false), NewEvent(true, true), NewEvent(true, true)};
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  ResetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  ResetEvent(events[2]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
  for (HANDLE e : events) CloseHandle(e);
}

TEST(KernelWaits, WaitAllTakesNothingUntilEveryObjectIsSignalled) {
  HANDLE events[2] = {NewEvent(false, true), NewEvent(false, false)};
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);
  // The failed wait-all left the first event's signal in place.
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);

  DWORD result = 0;
  std::thread waiter([&] { result = WaitForMultipleObjects(2, events, TRUE, INFINITE); });
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 5s));
  SetEvent(events[0]);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);  // still there for others
  SetEvent(events[0]);
  SetEvent(events[1]);
  waiter.join();
  EXPECT_EQ(result, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);  // both consumed
  for (HANDLE e : events) CloseHandle(e);
}

TEST(KernelWaits, BadArgumentsAndHandlesFailWithTheWindowsCodes) {
  HANDLE event = NewEvent(true, true);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  HANDLE twice[2] = {event, event};

  SetLastError(0);
  EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, twice, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);  // fine in a wait-any

  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(SetEvent(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_TRUE(CloseHandle(event));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(mutex);
}

TEST(KernelWaits, CreationSucceedsWithLastErrorCleared) {
  SetLastError(ERROR_ACCESS_DENIED);
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, "named");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(event);
}

TEST(KernelWaits, InjectedFailuresFailOneCallWithTheArmedError) {
  using velplat::faults::FailCall;
  using velplat::faults::FailNext;
  using velplat::faults::Point;
  HANDLE event = NewEvent(true, true);

  FailCall("WaitForSingleObject", ERROR_ACCESS_DENIED);
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);

  FailCall("SetEvent", ERROR_INVALID_HANDLE, 1, 1);  // the second call fails
  EXPECT_TRUE(SetEvent(event));
  EXPECT_FALSE(SetEvent(event));

  FailNext(Point::EventCreate);
  SetLastError(0);
  EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  HANDLE next = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_NE(next, nullptr);

  velplat::faults::Clear();
  CloseHandle(next);
  CloseHandle(event);
}

}  // namespace
