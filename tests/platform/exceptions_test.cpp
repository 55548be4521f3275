// Structured exceptions: what vectored handlers see for fault signals and for
// RaiseException, continuing execution, and how the process ends when every
// handler declines.
#include <velplat/clock.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Faulting accesses are kept out of the sanitizers' sight, so that the fault
// is the plain one a product binary would take.
#define RAW_ACCESS __attribute__((noinline, no_sanitize("address", "thread", "undefined")))

// An address below the lowest one Linux lets a process map.
constexpr uintptr_t kUnmapped = 0x1000;

RAW_ACCESS void WriteTo(uintptr_t address, int value) { *reinterpret_cast<volatile int*>(address) = value; }
RAW_ACCESS int ReadFrom(uintptr_t address) { return *reinterpret_cast<volatile int*>(address); }
volatile int quotient = 0;
RAW_ACCESS void Divide(int dividend, int divisor) {
  volatile int n = dividend;  // both unknown to the optimiser: a real idiv
  volatile int d = divisor;
  quotient = n / d;
}

void WriteLine(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

LONG CALLBACK ReportAndDecline(PEXCEPTION_POINTERS pointers) {
  const EXCEPTION_RECORD& r = *pointers->ExceptionRecord;
  char line[160];
  std::snprintf(line, sizeof line, "seen code=%lx params=%lu info0=%lx info1=%lx;\n",
                static_cast<unsigned long>(r.ExceptionCode), static_cast<unsigned long>(r.NumberParameters),
                static_cast<unsigned long>(r.ExceptionInformation[0]),
                static_cast<unsigned long>(r.ExceptionInformation[1]));
  WriteLine(line);
  return EXCEPTION_CONTINUE_SEARCH;
}

class Exceptions : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(Exceptions, WriteFaultReachesHandlerThenKillsBySigsegv) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(1, ReportAndDecline);
        WriteTo(kUnmapped, 1);
      },
      testing::KilledBySignal(SIGSEGV), "seen code=c0000005 params=2 info0=1 info1=1000;");
}

TEST_F(Exceptions, ReadFaultIsReportedAsARead) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(1, ReportAndDecline);
        ReadFrom(kUnmapped);
      },
      testing::KilledBySignal(SIGSEGV), "seen code=c0000005 params=2 info0=0 info1=1000;.*unhandled exception 0xc0000005");
}

TEST_F(Exceptions, IntegerDivisionByZeroIsReportedThenKillsBySigfpe) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(1, ReportAndDecline);
        Divide(1, 0);
      },
      testing::KilledBySignal(SIGFPE), "seen code=c0000094 params=0");
}

TEST_F(Exceptions, IllegalInstructionIsReportedThenKillsBySigill) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(1, ReportAndDecline);
        __builtin_trap();
      },
      testing::KilledBySignal(SIGILL), "seen code=c000001d");
}

TEST_F(Exceptions, MappedFileCutShortGivesInPageErrorAndSigbus) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(1, ReportAndDecline);
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(ftruncate(fileno(file), 4096), 0);
        void* mapped = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fileno(file), 0);
        ASSERT_NE(mapped, MAP_FAILED);
        ASSERT_EQ(ftruncate(fileno(file), 0), 0);
        ReadFrom(reinterpret_cast<uintptr_t>(mapped));
      },
      testing::KilledBySignal(SIGBUS), "seen code=c0000006 params=2 info0=0");
}

std::atomic<DWORD> faultingThread{0};

LONG CALLBACK ReportWhichThread(PEXCEPTION_POINTERS) {
  WriteLine(GetCurrentThreadId() == faultingThread.load() ? "handler on the faulting thread\n" : "handler elsewhere\n");
  return EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI FaultOnThisThread(LPVOID) {
  faultingThread = GetCurrentThreadId();
  WriteTo(kUnmapped, 1);
  return 0;
}

TEST_F(Exceptions, HandlerRunsOnTheFaultingThread) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(0, ReportWhichThread);
        HANDLE thread = CreateThread(nullptr, 0, FaultOnThisThread, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
      },
      testing::KilledBySignal(SIGSEGV), "handler on the faulting thread");
}

RAW_ACCESS int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (frame[0] == 0 && depth < 0) return 0;  // never: keeps the recursion honest
  return Recurse(depth + 1) + frame[0];
}

DWORD WINAPI OverflowTheStack(LPVOID) { return static_cast<DWORD>(Recurse(0)); }

TEST_F(Exceptions, StackOverflowOnALayerThreadIsReported) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(0, ReportAndDecline);
        HANDLE thread = CreateThread(nullptr, 256 * 1024, OverflowTheStack, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
      },
      testing::KilledBySignal(SIGSEGV), "seen code=c00000fd params=2 info0=1");
}

void* protectedPage = nullptr;
volatile double handlerScratch = 0;

LONG CALLBACK UnprotectAndContinue(PEXCEPTION_POINTERS pointers) {
  const EXCEPTION_RECORD& r = *pointers->ExceptionRecord;
  if (r.ExceptionCode != EXCEPTION_ACCESS_VIOLATION ||
      r.ExceptionInformation[1] != reinterpret_cast<ULONG_PTR>(protectedPage))
    return EXCEPTION_CONTINUE_SEARCH;
  for (int i = 1; i < 50; ++i) handlerScratch = handlerScratch * 0.5 + 1.0 / i;  // busy FP registers
  std::string noise(100, 'x');  // and the heap
  mprotect(protectedPage, 4096, PROT_READ | PROT_WRITE);
  return noise.size() == 100 ? EXCEPTION_CONTINUE_EXECUTION : EXCEPTION_CONTINUE_SEARCH;
}

// Keeps integer and floating-point values live in registers across a
// faulting store; the inputs are volatile so that nothing is folded away.
volatile double inputA = 1.25, inputB = 2.5;
volatile long inputX = 7, inputY = 5;
RAW_ACCESS double StoreBetweenSums(uintptr_t address) {
  const double a = inputA, b = inputB;
  const long x = inputX, y = inputY;
  const double product = a * b;
  const long sum = x * 3 + y;
  *reinterpret_cast<volatile long*>(address) = sum;
  return product + static_cast<double>(sum) + a - b + static_cast<double>(x - y);
}

TEST_F(Exceptions, ContinuingAFaultRunsTheInstructionAgainWithItsRegisters) {
  protectedPage = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(protectedPage, MAP_FAILED);
  PVOID registration = AddVectoredExceptionHandler(1, UnprotectAndContinue);
  const double result = StoreBetweenSums(reinterpret_cast<uintptr_t>(protectedPage));
  EXPECT_EQ(*static_cast<long*>(protectedPage), 26);
  EXPECT_DOUBLE_EQ(result, 1.25 * 2.5 + 26 + 1.25 - 2.5 + 2);
  EXPECT_EQ(RemoveVectoredExceptionHandler(registration), 1u);
  munmap(protectedPage, 4096);
}

EXCEPTION_RECORD lastSeen;
int calls = 0;

LONG CALLBACK RecordAndContinue(PEXCEPTION_POINTERS pointers) {
  lastSeen = *pointers->ExceptionRecord;
  ++calls;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST_F(Exceptions, RaisedExceptionCarriesItsParametersAndResumesWhenContinued) {
  calls = 0;
  PVOID registration = AddVectoredExceptionHandler(0, RecordAndContinue);
  ASSERT_NE(registration, nullptr);
  const ULONG_PTR arguments[3] = {1, 2, 0xDEADBEEF};
  RaiseException(0xE0001234, 0, 3, arguments);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(lastSeen.ExceptionCode, 0xE0001234u);
  EXPECT_EQ(lastSeen.ExceptionFlags, 0u);
  EXPECT_NE(lastSeen.ExceptionAddress, nullptr);
  ASSERT_EQ(lastSeen.NumberParameters, 3u);
  EXPECT_EQ(lastSeen.ExceptionInformation[2], 0xDEADBEEFu);

  ULONG_PTR many[20] = {};
  many[14] = 15;
  RaiseException(0xE0001235, 0, 20, many);
  EXPECT_EQ(lastSeen.NumberParameters, static_cast<DWORD>(EXCEPTION_MAXIMUM_PARAMETERS));
  EXPECT_EQ(lastSeen.ExceptionInformation[14], 15u);

  EXPECT_EQ(RemoveVectoredExceptionHandler(registration), 1u);
  EXPECT_EQ(RemoveVectoredExceptionHandler(registration), 0u);
}

std::string order;
LONG CALLBACK NoteA(PEXCEPTION_POINTERS) { return order += 'A', EXCEPTION_CONTINUE_SEARCH; }
LONG CALLBACK NoteB(PEXCEPTION_POINTERS) { return order += 'B', EXCEPTION_CONTINUE_SEARCH; }
LONG CALLBACK NoteCAndContinue(PEXCEPTION_POINTERS) { return order += 'C', EXCEPTION_CONTINUE_EXECUTION; }
LONG CALLBACK NoteD(PEXCEPTION_POINTERS) { return order += 'D', EXCEPTION_CONTINUE_SEARCH; }

TEST_F(Exceptions, HandlersRunInRegistrationOrderUntilOneContinues) {
  PVOID a = AddVectoredExceptionHandler(0, NoteA);
  PVOID c = AddVectoredExceptionHandler(0, NoteCAndContinue);
  PVOID d = AddVectoredExceptionHandler(0, NoteD);
  PVOID b = AddVectoredExceptionHandler(1, NoteB);  // goes first
  order.clear();
  RaiseException(0xE0000001, 0, 0, nullptr);
  EXPECT_EQ(order, "BAC");
  RemoveVectoredExceptionHandler(a);
  order.clear();
  RaiseException(0xE0000001, 0, 0, nullptr);
  EXPECT_EQ(order, "BC");
  for (PVOID registration : {b, c, d}) EXPECT_EQ(RemoveVectoredExceptionHandler(registration), 1u);
}

LONG WINAPI ContinueFilter(PEXCEPTION_POINTERS) { return EXCEPTION_CONTINUE_EXECUTION; }

TEST_F(Exceptions, UnhandledExceptionFilterMayResumeARaise) {
  EXPECT_EQ(SetUnhandledExceptionFilter(ContinueFilter), nullptr);
  RaiseException(0xE0000002, 0, 0, nullptr);  // returns
  EXPECT_EQ(SetUnhandledExceptionFilter(nullptr), ContinueFilter);
}

LONG WINAPI ReportingFilter(PEXCEPTION_POINTERS pointers) {
  char line[64];
  std::snprintf(line, sizeof line, "filter saw %lx\n", static_cast<unsigned long>(pointers->ExceptionRecord->ExceptionCode));
  WriteLine(line);
  return EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(Exceptions, UnhandledRaiseEndsTheProcessBySignalOfItsCode) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(0, ReportAndDecline);
        SetUnhandledExceptionFilter(ReportingFilter);
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
      },
      testing::KilledBySignal(SIGSEGV), "seen code=c0000005.*filter saw c0000005.*unhandled exception 0xc0000005");
  EXPECT_EXIT(RaiseException(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, nullptr), testing::KilledBySignal(SIGFPE),
              "unhandled exception 0xc0000094");
  EXPECT_EXIT(RaiseException(0xE0000003, 0, 0, nullptr), testing::KilledBySignal(SIGABRT),
              "unhandled exception 0xe0000003");
}

LONG CALLBACK ContinueUnlessRefused(PEXCEPTION_POINTERS pointers) {
  const EXCEPTION_RECORD& r = *pointers->ExceptionRecord;
  if (r.ExceptionCode != EXCEPTION_NONCONTINUABLE_EXCEPTION) return EXCEPTION_CONTINUE_EXECUTION;
  char line[80];
  std::snprintf(line, sizeof line, "refused %lx flags %lx\n",
                static_cast<unsigned long>(r.ExceptionRecord ? r.ExceptionRecord->ExceptionCode : 0),
                static_cast<unsigned long>(r.ExceptionFlags));
  WriteLine(line);
  return EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(Exceptions, ContinuingANoncontinuableExceptionRaisesAnotherThatEndsTheProcess) {
  EXPECT_EXIT(
      {
        AddVectoredExceptionHandler(0, ContinueUnlessRefused);
        RaiseException(0xE0000004, EXCEPTION_NONCONTINUABLE, 0, nullptr);
      },
      testing::KilledBySignal(SIGABRT), "refused e0000004 flags 1.*unhandled exception 0xc0000025");
}

}  // namespace
