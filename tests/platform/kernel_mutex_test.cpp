// Mutexes: recursive ownership, ERROR_NOT_OWNER, hand-over to a blocked
// waiter, abandonment by a thread that ends holding one.
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;

// The result of a zero-timeout wait for `mutex` made on another thread, which
// releases what it took.
DWORD ProbeFromAnotherThread(HANDLE mutex) {
  DWORD result = WAIT_FAILED;
  std::thread([&] {
    result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0) ReleaseMutex(mutex);
  }).join();
  return result;
}

TEST(KernelMutex, OwnerMayTakeItRecursivelyAndMustReleaseAsOften) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(ProbeFromAnotherThread(mutex), WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(ProbeFromAnotherThread(mutex), WAIT_TIMEOUT);  // still held once
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(ProbeFromAnotherThread(mutex), WAIT_OBJECT_0);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  CloseHandle(mutex);
}

TEST(KernelMutex, OnlyTheOwnerMayReleaseIt) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);  // owned by this thread
  ASSERT_NE(mutex, nullptr);
  BOOL released = TRUE;
  DWORD error = 0;
  std::thread([&] {
    released = ReleaseMutex(mutex);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(released);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_OWNER));
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

TEST(KernelMutex, ReleaseHandsItToTheBlockedWaiter) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
  DWORD waited = WAIT_FAILED;
  BOOL releasedByWaiter = FALSE;
  std::thread waiter([&] {
    waited = WaitForSingleObject(mutex, INFINITE);
    releasedByWaiter = ReleaseMutex(mutex);
  });
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 5s));
  EXPECT_TRUE(ReleaseMutex(mutex));
  waiter.join();
  EXPECT_EQ(waited, WAIT_OBJECT_0);
  EXPECT_TRUE(releasedByWaiter);
  CloseHandle(mutex);
}

TEST(KernelMutex, MutexOfAnEndedOwnerIsAcquiredAsAbandonedOnce) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread([&] { ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); }).join();

  HANDLE both[2] = {never, mutex};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_ABANDONED_0 + 1);
  EXPECT_TRUE(ReleaseMutex(mutex));  // the abandoned wait made this thread the owner
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // reported only once
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(never);
  CloseHandle(mutex);
}

TEST(KernelMutex, BlockedWaiterSeesAbandonmentWhenOwnerEnds) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  HANDLE ownerMayEnd = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread owner([&] {
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    WaitForSingleObject(ownerMayEnd, INFINITE);
  });
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 5s));
  DWORD waited = WAIT_FAILED;
  std::thread waiter([&] {
    waited = WaitForSingleObject(mutex, INFINITE);
    ReleaseMutex(mutex);
  });
  ASSERT_TRUE(velplat::clock::WaitForWaiters(2, 5s));
  SetEvent(ownerMayEnd);
  owner.join();
  waiter.join();
  EXPECT_EQ(waited, WAIT_ABANDONED);
  CloseHandle(ownerMayEnd);
  CloseHandle(mutex);
}

TEST(KernelMutex, InjectedCreationFailureReturnsNull) {
  velplat::faults::FailNext(velplat::faults::Point::MutexCreate);
  SetLastError(0);
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  EXPECT_NE(mutex, nullptr);
  CloseHandle(mutex);
}

}  // namespace
