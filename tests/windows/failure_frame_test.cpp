// The failure frame on Windows is a frame-based handler (unwind data on x64):
// an exception raised inside it must still travel on to the process's outer
// handling with its code and arguments intact once the frame has reported,
// and a body that returns must leave the thread's handling as it found it.
#include "discovery/failure_frame.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace velmon {
namespace {

constexpr DWORD kFirstCode = 0xE0564C01;   // application codes (bit 29 set)
constexpr DWORD kSecondCode = 0xE0564C02;

// What the top-level filter saw; it lets continuable exceptions go on.
std::vector<DWORD> seenCodes;
std::vector<ULONG_PTR> seenArguments;
std::atomic<DWORD> seenThread{0};

LONG WINAPI RecordAndContinue(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if ((record->ExceptionCode & 0xFFFFFF00) != 0xE0564C00) return EXCEPTION_CONTINUE_SEARCH;
  seenCodes.push_back(record->ExceptionCode);
  if (record->NumberParameters > 0) seenArguments.push_back(record->ExceptionInformation[0]);
  seenThread = GetCurrentThreadId();
  return EXCEPTION_CONTINUE_EXECUTION;
}

struct BodyRun {
  bool finished = false;
};

void RaiseTwiceAndFinish(void* argument) {
  ULONG_PTR first[] = {11};
  RaiseException(kFirstCode, 0, 1, first);  // continuable: the filter resumes here
  ULONG_PTR second[] = {22};
  RaiseException(kSecondCode, 0, 1, second);
  static_cast<BodyRun*>(argument)->finished = true;
}

DWORD WINAPI FramedThread(void* argument) {
  RunInFailureFrame(kNodeWatcherName, &RaiseTwiceAndFinish, argument);
  return 0;
}

TEST(FailureFrameOnWindows, RaisedExceptionsPassTheFrameToTheOuterHandlerUnchanged) {
  seenCodes.clear();
  seenArguments.clear();
  LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(&RecordAndContinue);
  BodyRun run;
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, &FramedThread, &run, 0, &threadId);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  CloseHandle(thread);
  SetUnhandledExceptionFilter(previous);

  // The frame reported each one and declined, so the outer filter saw both,
  // on the framed thread, and execution resumed inside the body.
  EXPECT_EQ(seenCodes, (std::vector<DWORD>{kFirstCode, kSecondCode}));
  EXPECT_EQ(seenArguments, (std::vector<ULONG_PTR>{11, 22}));
  EXPECT_EQ(seenThread.load(), threadId);
  EXPECT_TRUE(run.finished);
}

void NothingHappens(void* argument) { ++*static_cast<int*>(argument); }

TEST(FailureFrameOnWindows, FramesNestAndAReturningBodyLeavesLaterExceptionsToTheOuterHandler) {
  seenCodes.clear();
  seenArguments.clear();
  LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(&RecordAndContinue);
  int calls = 0;
  for (int i = 0; i < 100; ++i) RunInFailureFrame(kDiscoveryThreadName, &NothingHappens, &calls);
  // A frame inside a frame: the exception passes both, then reaches the filter.
  BodyRun run;
  RunInFailureFrame(
      kMainTrapThreadName, [](void* inner) { RunInFailureFrame(kAddressWatcherName, &RaiseTwiceAndFinish, inner); },
      &run);
  // After the frames have returned, an exception raised here meets no frame.
  ULONG_PTR third[] = {33};
  RaiseException(kFirstCode, 0, 1, third);
  SetUnhandledExceptionFilter(previous);

  EXPECT_EQ(calls, 100);
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(seenCodes, (std::vector<DWORD>{kFirstCode, kSecondCode, kFirstCode}));
  EXPECT_EQ(seenArguments, (std::vector<ULONG_PTR>{11, 22, 33}));
}

}  // namespace
}  // namespace velmon
