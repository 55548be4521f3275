// The thread failure frame: a fault on a framed thread is reported once under
// the thread's name, then takes its ordinary course and ends the process with
// the original fault.
#include "agent/support/event_log.h"
#include "discovery/failure_frame.h"
#include "discovery/support/failure_events.h"

#include <process.h>
#include <velplat/eventlog.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace velmon {
namespace {

// Body run on a new thread inside a frame named `name`; the main thread waits.
[[noreturn]] void FaultOnFramedThread(const char* name, void (*fault)(void*)) {
  test::PrintFailureEventsOnException();
  struct Start {
    const char* name;
    void (*fault)(void*);
  };
  static Start start;
  start = {name, fault};
  _beginthread([](void*) { RunInFailureFrame(start.name, start.fault, nullptr); }, 0, nullptr);
  for (;;) Sleep(1000);
}

// An unmapped address that no compiler treats as a null dereference.
volatile int* BadAddress() {
  static volatile uintptr_t address = 0x1000;
  return reinterpret_cast<volatile int*>(address);
}

__attribute__((noinline, no_sanitize("address", "thread", "undefined"))) void WriteToBadAddress(void*) {
  *BadAddress() = 1;
}

__attribute__((no_sanitize("undefined"))) void DivideByZero(void*) {
  volatile int zero = 0;
  volatile int dividend = 7;  // not 1: 1 / x compiles to a comparison
  volatile int result = dividend / zero;
  (void)result;
}

void IllegalInstruction(void*) { __builtin_trap(); }

__attribute__((no_sanitize("address"))) void ReadPastTheEndOfAMappedFile(void*) {
  char path[] = "/tmp/velmon-sigbus-XXXXXX";
  int fd = mkstemp(path);
  long page = sysconf(_SC_PAGESIZE);
  if (fd < 0 || ftruncate(fd, page) != 0) std::abort();
  auto* bytes = static_cast<volatile char*>(mmap(nullptr, 2 * page, PROT_READ, MAP_SHARED, fd, 0));
  unlink(path);
  volatile char c = bytes[page + 1];  // beyond the file's end
  (void)c;
}

void RaiseAgentException(void*) {
  ULONG_PTR info[2] = {0x11, 0x22};
  RaiseException(0xE0AB0001, 0, 2, info);
}

class FailureFrameDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(FailureFrameDeathTest, AccessViolationIsReportedThenKillsTheProcess) {
  EXPECT_EXIT(FaultOnFramedThread(kDiscoveryThreadName, &WriteToBadAddress), testing::KilledBySignal(SIGSEGV),
              "EVENT\\[A Tarvik agent thread has failed\\.\\|\\|Exception information:\\|\\|"
              "<T>Thread:<T><T>FindClusterVendor\\|<T>Exception code:<T>0xc0000005\\|<T>Exception flags:<T>0x0\\|"
              "<T>Exception address:<T>0x[0-9a-f]+\\|<T>Exception info\\[0\\]:<T>0x1\\|"
              "<T>Exception info\\[1\\]:<T>0x1000\\|");
}

TEST_F(FailureFrameDeathTest, IntegerDivideByZeroIsReportedThenKillsTheProcess) {
  EXPECT_EXIT(FaultOnFramedThread(kNodeWatcherName, &DivideByZero), testing::KilledBySignal(SIGFPE),
              "Thread:<T><T>SubNodeTrapThread\\|<T>Exception code:<T>0xc0000094\\|");
}

TEST_F(FailureFrameDeathTest, IllegalInstructionIsReportedThenKillsTheProcess) {
  EXPECT_EXIT(FaultOnFramedThread(kMainTrapThreadName, &IllegalInstruction), testing::KilledBySignal(SIGILL),
              "Thread:<T><T>MAIN_TRAP_THREAD\\|<T>Exception code:<T>0xc000001d\\|");
}

TEST_F(FailureFrameDeathTest, BusErrorIsReportedThenKillsTheProcess) {
  EXPECT_EXIT(FaultOnFramedThread(kAddressWatcherName, &ReadPastTheEndOfAMappedFile),
              testing::KilledBySignal(SIGBUS), "Thread:<T><T>SubAddressTrapThread\\|<T>Exception code:<T>0xc0000006\\|");
}

TEST_F(FailureFrameDeathTest, RaisedExceptionIsReportedWithItsParameters) {
  EXPECT_EXIT(FaultOnFramedThread(kClusterAddressWatcherName, &RaiseAgentException), testing::KilledBySignal(SIGABRT),
              "Thread:<T><T>SubClusterAddressTrapThread\\|<T>Exception code:<T>0xe0ab0001\\|"
              "<T>Exception flags:<T>0x0\\|<T>Exception address:<T>0x[0-9a-f]+\\|"
              "<T>Exception info\\[0\\]:<T>0x11\\|<T>Exception info\\[1\\]:<T>0x22\\|");
}

TEST(FailureFrame, ThreadThatEndsNormallyReportsNothing) {
  int ran = 0;
  RunInFailureFrame(kDiscoveryThreadName, [](void* counter) { ++*static_cast<int*>(counter); }, &ran);
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(test::EventsWithId(0xC00017E1).empty());
}

TEST(FailureFrame, ReportNamesTheThreadAndDescribesTheRecord) {
  test::RegisterAgentEventSource();
  EXCEPTION_RECORD record{};
  record.ExceptionCode = 0xC0000005;
  record.ExceptionFlags = 0;
  record.ExceptionAddress = reinterpret_cast<PVOID>(0x401000);
  record.NumberParameters = 0;  // both words are printed whatever the count says
  record.ExceptionInformation[0] = 0;
  record.ExceptionInformation[1] = 0xdeadbeef;
  EXCEPTION_POINTERS pointers{&record, nullptr};
  EXPECT_EQ(ReportThreadFailure(record.ExceptionCode, &pointers, kNodeWatcherName), 0);
  auto events = test::EventsWithId(0xC00017E1);
  ASSERT_EQ(events.size(), 1u);
  ASSERT_EQ(events[0].strings.size(), 1u);
  EXPECT_EQ(events[0].strings[0],
            "\tThread:\t\tSubNodeTrapThread\r\n"
            "\tException code:\t0xc0000005\r\n"
            "\tException flags:\t0x0\r\n"
            "\tException address:\t0x401000\r\n"
            "\tException info[0]:\t0x0\r\n"
            "\tException info[1]:\t0xdeadbeef\r\n");
}

}  // namespace
}  // namespace velmon
