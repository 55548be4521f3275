// Fault injection when nothing is armed costs no lock; these cases prove that
// armings still reach every call they should: armed from another thread after
// unarmed calls, several at once with some used up or replaced, and cleared.
#include <windows.h>

#include <velplat/faults.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace {

using velplat::faults::Clear;
using velplat::faults::ConsumeCall;
using velplat::faults::FailCall;
using velplat::faults::FailNext;
using velplat::faults::Point;

std::optional<DWORD> Fails(long error) { return static_cast<DWORD>(error); }

// HeapAlloc's outcome: the last error of a failure, or 0 for a block.
DWORD HeapAllocError() {
  SetLastError(0);
  void* block = HeapAlloc(GetProcessHeap(), 0, 32);
  if (!block) return GetLastError();
  HeapFree(GetProcessHeap(), 0, block);
  return 0;
}

class FaultFastPath : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
};

TEST_F(FaultFastPath, ArmingFromAnotherThreadFailsTheNextCallsAfterUnarmedOnes) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(HeapAllocError(), 0u);

  std::thread([] { FailCall("HeapAlloc", ERROR_OUTOFMEMORY, 2, 1); }).join();
  EXPECT_EQ(HeapAllocError(), 0u);  // the skipped call
  EXPECT_EQ(HeapAllocError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));
  EXPECT_EQ(HeapAllocError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));
  EXPECT_EQ(HeapAllocError(), 0u);  // used up

  std::thread([] { FailNext(Point::HeapAlloc); }).join();
  EXPECT_EQ(HeapAllocError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(HeapAllocError(), 0u);
}

TEST_F(FaultFastPath, UsedUpOrReplacedArmingsLeaveTheOthersArmed) {
  FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  FailCall("OpenServiceA", ERROR_SERVICE_DOES_NOT_EXIST, 2);
  FailNext(Point::SnmpAlloc);

  EXPECT_EQ(ConsumeCall("RegOpenKeyExA"), Fails(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ConsumeCall("RegOpenKeyExA"), std::nullopt);
  FailCall("OpenServiceA", ERROR_SERVICE_DOES_NOT_EXIST, 1);  // replaces the arming of two
  FailCall("RegCloseKey", ERROR_INVALID_HANDLE, 0);            // arms nothing
  EXPECT_EQ(ConsumeCall("OpenServiceA"), Fails(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(ConsumeCall("OpenServiceA"), std::nullopt);
  EXPECT_EQ(ConsumeCall("RegCloseKey"), std::nullopt);
  EXPECT_TRUE(velplat::faults::Consume(Point::SnmpAlloc));
  EXPECT_FALSE(velplat::faults::Consume(Point::SnmpAlloc));

  FailNext(Point::ThreadStart, 1);
  FailNext(Point::ThreadStart, 0);  // disarmed again before use
  FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(velplat::faults::Consume(Point::ThreadStart));
  EXPECT_EQ(ConsumeCall("QueryServiceStatus"), Fails(ERROR_ACCESS_DENIED));

  FailCall("LogonUserA", ERROR_LOGON_FAILURE, 5);
  Clear();
  EXPECT_EQ(ConsumeCall("LogonUserA"), std::nullopt);
  FailCall("LogonUserA", ERROR_LOGON_FAILURE);
  EXPECT_EQ(ConsumeCall("LogonUserA"), Fails(ERROR_LOGON_FAILURE));
}

TEST_F(FaultFastPath, ArmingsRaceFreeWithCallsOnOtherThreads) {
  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};
  std::thread caller([&] {
    while (!stop.load()) {
      if (ConsumeCall("CloseHandle")) ++failures;
    }
  });
  for (int i = 0; i < 200; ++i) {
    FailCall("CreateEventA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ConsumeCall("CreateEventA"), Fails(ERROR_ACCESS_DENIED));
  }
  FailCall("CloseHandle", ERROR_INVALID_HANDLE, 3);
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);  // only when the arming is lost
  while (failures.load() < 3 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  stop = true;
  caller.join();
  EXPECT_EQ(failures.load(), 3);
}

}  // namespace
