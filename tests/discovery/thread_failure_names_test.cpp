// Each real thread procedure reports a fault where it stands under its own
// name: the fault is raised inside a call the procedure makes in its loop, on
// that thread only, and the failure event must name the procedure's thread.
#include "discovery/find_cluster_vendor.h"
#include "discovery/main_trap_thread.h"
#include "discovery/support/failure_events.h"
#include "discovery/watch_tables.h"
#include "discovery/watchers.h"

#include <process.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/threads.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace velmon {
namespace {

struct Case {
  void(__cdecl* procedure)(void*);
  const char* call;  // made by the procedure in its loop
  void (*start)();   // starts the procedure as the agent does
  const char* reportedName;
};

constexpr char kFaulted[] = "faulted";

[[noreturn]] void FaultInside(const Case& c) {
  test::PrintFailureEventsOnException();
  static const Case* current;
  current = &c;
  velplat::threads::OnThreadStart([](velplat::threads::ThreadStart& start) {
    if (start.runtime == current->procedure) start.name = kFaulted;
  });
  velplat::faults::RaiseInCall(c.call, EXCEPTION_ACCESS_VIOLATION, 1, 0, kFaulted);
  c.start();
  for (;;) Sleep(1000);  // not a faulted thread
}

void StartThread(void(__cdecl* procedure)(void*)) { _beginthread(procedure, 0, nullptr); }

TEST(ThreadFailureNamesDeathTest, FaultInsideEachThreadProcedureIsReportedUnderItsName) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const Case cases[] = {
      {&SubNodeTrapThread, "Sleep", [] { AddNodeEntry("", "n", 1); }, "SubNodeTrapThread"},
      {&SubAddressTrapThread, "Sleep", [] { AddAddressEntry("n", 1); }, "SubAddressTrapThread"},
      {&SubClusterAddressTrapThread, "Sleep", [] { AddClusterAddressEntry("Cluster IP Address", 1); },
       "SubClusterAddressTrapThread"},
      {&MainTrapThread, "RegNotifyChangeKeyValue",
       [] {
         velplat::registry::CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database");
         StartThread(&MainTrapThread);
       },
       "MAIN_TRAP_THREAD"},
      // No Oracle key: discovery waits for it, watching SOFTWARE.
      {&FindClusterVendor, "RegNotifyChangeKeyValue", [] { StartThread(&FindClusterVendor); }, "FindClusterVendor"},
  };
  for (const Case& c : cases)
    EXPECT_EXIT(FaultInside(c), testing::KilledBySignal(SIGSEGV),
                std::string("EVENT\\[[^]]*Thread:<T><T>") + c.reportedName + "\\|<T>Exception code:<T>0xc0000005\\|")
        << c.reportedName;
}

}  // namespace
}  // namespace velmon
