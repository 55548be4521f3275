// Raising inside a named call: the exception comes from within the call on
// the calling thread, only threads of the armed name count toward skip and
// count, and a continued exception lets the call finish as if unarmed. The
// thread-start hook sees each start and names the thread.
#include <windows.h>

#include <velplat/faults.h>
#include <velplat/threads.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

std::atomic<int> raised{0};

LONG WINAPI CountAndContinue(EXCEPTION_POINTERS* pointers) {
  if (pointers->ExceptionRecord->ExceptionCode != 0xE0000042) return EXCEPTION_CONTINUE_SEARCH;
  ++raised;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Raises seen by four RegOpenKeyExA calls, each as a running total; the calls
// still open the key.
DWORD WINAPI OpenFourTimes(LPVOID totals) {
  for (int i = 0; i < 4; ++i) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
    static_cast<std::vector<int>*>(totals)->push_back(key ? raised.load() : -1);
  }
  return 0;
}

TEST(FaultsRaiseInCall, RaisesInsideTheCallOnThreadsOfTheArmedNameOnly) {
  PVOID handler = AddVectoredExceptionHandler(1, &CountAndContinue);
  std::vector<void*> parameters;
  velplat::threads::OnThreadStart([&parameters](velplat::threads::ThreadStart& start) {
    if (start.win32 == &OpenFourTimes) start.name = "opener";
    parameters.push_back(start.parameter);
  });
  velplat::faults::RaiseInCall("RegOpenKeyExA", 0xE0000042, 2, 1, "opener");

  std::vector<int> unnamed, named;
  OpenFourTimes(&unnamed);  // this thread has no name: neither skipped nor raised
  HANDLE thread = CreateThread(nullptr, 0, &OpenFourTimes, &named, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
  velplat::threads::OnThreadStart(nullptr);
  velplat::faults::Clear();
  RemoveVectoredExceptionHandler(handler);

  EXPECT_EQ(unnamed, (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(named, (std::vector<int>{0, 1, 2, 2}));  // one skipped, two raised, then used up
  EXPECT_EQ(parameters, std::vector<void*>{&named});
  EXPECT_TRUE(velplat::threads::CurrentThreadName().empty());
}

}  // namespace
