// Threads, APCs, the last error and interlocked operations.
#include <process.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Gate {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD threadId = 0;
};

DWORD WINAPI WaitForGateThenExit(LPVOID raw) {
  auto* gate = static_cast<Gate*>(raw);
  gate->threadId = GetCurrentThreadId();
  WaitForSingleObject(gate->event, INFINITE);
  return 42;
}

TEST(KernelThreads, ThreadHandleSignalsAtTheEndAndKeepsTheExitCode) {
  Gate gate;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForGateThenExit, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 5s));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

  SetEvent(gate.event);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(gate.threadId, id);
  EXPECT_NE(id, GetCurrentThreadId());
  CloseHandle(thread);
  CloseHandle(gate.event);
}

struct RuntimeThreadProbe {
  std::atomic<int> runs{0};
  void* argument = nullptr;
  bool destructorRan = false;
  bool ranPastEnd = false;
};

void __cdecl RecordRun(void* raw) {
  auto* probe = static_cast<RuntimeThreadProbe*>(raw);
  probe->argument = raw;
  ++probe->runs;
}

// Waits for a _beginthread thread through its handle, which the runtime may
// already have closed; either way the handle is gone afterwards.
void AwaitRuntimeThread(uintptr_t handle) {
  DWORD result = WaitForSingleObject(reinterpret_cast<HANDLE>(handle), INFINITE);
  EXPECT_TRUE(result == WAIT_OBJECT_0 || result == WAIT_FAILED);
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(handle)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(KernelThreads, BeginthreadRunsWithItsArgumentAndClosesItsOwnHandle) {
  RuntimeThreadProbe probe;
  uintptr_t handle = _beginthread(RecordRun, 0, &probe);
  ASSERT_NE(handle, static_cast<uintptr_t>(-1));
  AwaitRuntimeThread(handle);
  EXPECT_EQ(probe.runs.load(), 1);
  EXPECT_EQ(probe.argument, &probe);
}

TEST(KernelThreads, InjectedStartFailuresStartNoThread) {
  RuntimeThreadProbe probe;
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart);
  errno = 0;
  EXPECT_EQ(_beginthread(RecordRun, 0, &probe), static_cast<uintptr_t>(-1));
  EXPECT_EQ(errno, EAGAIN);

  velplat::faults::FailNext(velplat::faults::Point::ThreadStart);
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, WaitForGateThenExit, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

  velplat::faults::FailCall("CreateThread", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateThread(nullptr, 0, WaitForGateThenExit, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  AwaitRuntimeThread(_beginthread(RecordRun, 0, &probe));
  EXPECT_EQ(probe.runs.load(), 1);  // only the start that was not failed ran
}

struct SetOnDestruction {
  bool* flag;
  ~SetOnDestruction() { *flag = true; }
};

void __cdecl EndEarly(void* raw) {
  auto* probe = static_cast<RuntimeThreadProbe*>(raw);
  SetOnDestruction guard{&probe->destructorRan};
  _endthread();
  probe->ranPastEnd = true;
}

TEST(KernelThreads, EndthreadEndsTheThreadAtOnceAndUnwindsItsStack) {
  RuntimeThreadProbe probe;
  AwaitRuntimeThread(_beginthread(EndEarly, 64 * 1024, &probe));
  EXPECT_TRUE(probe.destructorRan);
  EXPECT_FALSE(probe.ranPastEnd);
}

TEST(KernelThreads, LastErrorBelongsToEachThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD initial = 1, afterSet = 0;
  std::thread([&] {
    initial = GetLastError();
    SetLastError(ERROR_INVALID_PARAMETER);
    afterSet = GetLastError();
  }).join();
  EXPECT_EQ(initial, 0u);
  EXPECT_EQ(afterSet, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

std::atomic<ULONG_PTR> apcParameter{0};
std::atomic<DWORD> apcThread{0};

void CALLBACK RecordApc(ULONG_PTR parameter) {
  apcParameter = parameter;
  apcThread = GetCurrentThreadId();
}

DWORD WINAPI AlertableWaitForever(LPVOID raw) {
  HANDLE never = *static_cast<HANDLE*>(raw);
  return WaitForSingleObjectEx(never, INFINITE, TRUE);
}

TEST(KernelApc, AlertableWaitRunsTheApcOnItsThreadAndReturnsIoCompletion) {
  apcParameter = 0;
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, AlertableWaitForever, &never, 0, &id);
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 5s));
  ASSERT_NE(QueueUserAPC(RecordApc, thread, 7), 0u);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, WAIT_IO_COMPLETION);
  EXPECT_EQ(apcParameter.load(), 7u);
  EXPECT_EQ(apcThread.load(), id);

  SetLastError(0);
  EXPECT_EQ(QueueUserAPC(RecordApc, thread, 8), 0u);  // the thread has ended
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  CloseHandle(thread);
  CloseHandle(never);
}

TEST(KernelApc, ApcWaitsForAnAlertableWaitAndLosesToASignalledObject) {
  apcParameter = 0;
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  ASSERT_NE(QueueUserAPC(RecordApc, GetCurrentThread(), 9), 0u);
  // Bounded waits: a wrong order would otherwise block for good.
  EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);         // not alertable
  EXPECT_EQ(WaitForSingleObjectEx(event, 5000, TRUE), WAIT_OBJECT_0);  // object first
  EXPECT_EQ(apcParameter.load(), 0u);
  ResetEvent(event);
  EXPECT_EQ(WaitForSingleObjectEx(event, 5000, TRUE), WAIT_IO_COMPLETION);  // at once
  EXPECT_EQ(apcParameter.load(), 9u);
  EXPECT_EQ(SleepEx(0, TRUE), 0u);  // the queue is empty again
  CloseHandle(event);
}

TEST(KernelInterlocked, OperationsAreAtomicAndReturnWhatWindowsReturns) {
  volatile LONG cell = 5;
  EXPECT_EQ(InterlockedExchange(&cell, 9), 5);
  EXPECT_EQ(InterlockedCompareExchange(&cell, 1, 8), 9);  // no match: unchanged
  EXPECT_EQ(cell, 9);
  EXPECT_EQ(InterlockedCompareExchange(&cell, 1, 9), 9);
  EXPECT_EQ(cell, 1);
  EXPECT_EQ(InterlockedIncrement(&cell), 2);
  EXPECT_EQ(InterlockedDecrement(&cell), 1);

  volatile LONG counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) InterlockedIncrement(&counter);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
