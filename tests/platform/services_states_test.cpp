// Service states on the platform clock: pending transitions with their
// check points, the refusals of start and stop, dependencies pulled in by a
// start, dependents that block a stop, and the dependents' enumeration with
// its order and buffer sizes.
#include <windows.h>
#include <winsvc.h>

#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

namespace services = velplat::services;
using namespace std::chrono_literals;
using Names = std::vector<std::string>;

class ServicesStates : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager_);
  }
  void TearDown() override {
    for (SC_HANDLE handle : opened_) CloseServiceHandle(handle);
    CloseServiceHandle(manager_);
    velplat::faults::Clear();
  }

  static void Define(const std::string& name, std::vector<std::string> dependencies = {},
                     DWORD state = SERVICE_STOPPED, std::chrono::milliseconds startTime = 0ms,
                     std::chrono::milliseconds stopTime = 0ms) {
    services::ServiceConfig config;
    config.name = name;
    config.displayName = name + " display";
    config.dependencies = std::move(dependencies);
    config.initialState = state;
    config.startTime = startTime;
    config.stopTime = stopTime;
    services::Define(config);
  }

  SC_HANDLE Open(const char* name) {
    SC_HANDLE handle = OpenServiceA(manager_, name, SERVICE_ALL_ACCESS);
    EXPECT_NE(nullptr, handle) << name;
    opened_.push_back(handle);
    return handle;
  }

  static SERVICE_STATUS Query(SC_HANDLE service) {
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    return status;
  }

  static DWORD State(const char* name) { return services::Get(name)->status.dwCurrentState; }

  // Stop result: 0 or the error, with the status the call wrote.
  static DWORD Stop(SC_HANDLE service, SERVICE_STATUS* status) {
    *status = SERVICE_STATUS{};
    return ControlService(service, SERVICE_CONTROL_STOP, status) ? ERROR_SUCCESS : GetLastError();
  }

  static Names Dependents(SC_HANDLE service, DWORD filter) {
    DWORD needed = 0, count = 0;
    if (EnumDependentServicesA(service, filter, nullptr, 0, &needed, &count)) return {};
    EXPECT_EQ(ERROR_MORE_DATA, GetLastError());
    std::vector<BYTE> buffer(needed);
    auto entries = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data());
    EXPECT_TRUE(EnumDependentServicesA(service, filter, entries, needed, &needed, &count));
    Names names;
    for (DWORD i = 0; i < count; ++i) names.push_back(entries[i].lpServiceName);
    return names;
  }

  SC_HANDLE manager_ = nullptr;
  std::vector<SC_HANDLE> opened_;
};

TEST_F(ServicesStates, StartPassesThroughStartPendingForItsStartTime) {
  velplat::clock::VirtualTimeScope time;
  Define("SNMP", {}, SERVICE_STOPPED, 3000ms);
  SC_HANDLE snmp = Open("snmp");
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED), Query(snmp).dwWin32ExitCode);

  ASSERT_TRUE(StartServiceA(snmp, 0, nullptr));
  SERVICE_STATUS status = Query(snmp);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), status.dwCurrentState);
  EXPECT_EQ(1u, status.dwCheckPoint);
  EXPECT_EQ(3000u, status.dwWaitHint);
  EXPECT_EQ(0u, status.dwControlsAccepted) << "nothing is accepted while pending";
  EXPECT_FALSE(StartServiceA(snmp, 0, nullptr));
  EXPECT_EQ(ERROR_SERVICE_ALREADY_RUNNING, GetLastError());

  velplat::clock::Advance(2999ms);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), Query(snmp).dwCurrentState);
  velplat::clock::Advance(1ms);
  status = Query(snmp);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_ACCEPT_STOP), status.dwControlsAccepted);
  EXPECT_EQ(0u, status.dwCheckPoint);
  EXPECT_EQ(0u, status.dwWaitHint);
  EXPECT_EQ(0u, status.dwWin32ExitCode);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), status.dwServiceType);
  EXPECT_FALSE(StartServiceA(snmp, 0, nullptr));
  EXPECT_EQ(ERROR_SERVICE_ALREADY_RUNNING, GetLastError());
}

TEST_F(ServicesStates, StopPassesThroughStopPendingAndRefusesWhatCannotBeDone) {
  velplat::clock::VirtualTimeScope time;
  Define("SNMP", {}, SERVICE_RUNNING, 0ms, 2000ms);
  SC_HANDLE snmp = Open("SNMP");
  SERVICE_STATUS status;
  ASSERT_EQ(ERROR_SUCCESS, Stop(snmp, &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), status.dwCurrentState);
  EXPECT_EQ(2000u, status.dwWaitHint);

  EXPECT_EQ(ERROR_SERVICE_CANNOT_ACCEPT_CTRL, Stop(snmp, &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), status.dwCurrentState) << "the status comes with the refusal";
  velplat::clock::Advance(2000ms);
  EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, Stop(snmp, &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);
  EXPECT_EQ(0u, status.dwWin32ExitCode);
  EXPECT_FALSE(ControlService(snmp, SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, GetLastError());
  EXPECT_FALSE(ControlService(snmp, SERVICE_CONTROL_SHUTDOWN, &status));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());

  // A service that does not accept stop.
  services::ServiceConfig stubborn;
  stubborn.name = "Stubborn";
  stubborn.controlsAccepted = 0;
  stubborn.initialState = SERVICE_RUNNING;
  services::Define(stubborn);
  EXPECT_EQ(ERROR_INVALID_SERVICE_CONTROL, Stop(Open("Stubborn"), &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Stubborn"));
}

TEST_F(ServicesStates, StatesSetDirectlyHoldUntilTheirCompletionTime) {
  velplat::clock::VirtualTimeScope time;
  Define("ClusSvc");
  SC_HANDLE clus = Open("ClusSvc");
  ASSERT_TRUE(services::SetPending("ClusSvc", SERVICE_START_PENDING, std::nullopt, 1000));
  velplat::clock::Advance(2500ms);
  SERVICE_STATUS status = Query(clus);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), status.dwCurrentState) << "pending for ever";
  EXPECT_EQ(3u, status.dwCheckPoint) << "one check point per wait hint";
  EXPECT_EQ(1000u, status.dwWaitHint);

  ASSERT_TRUE(services::SetPending("ClusSvc", SERVICE_START_PENDING, 25s, 3000));
  velplat::clock::Advance(24s);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), Query(clus).dwCurrentState);
  velplat::clock::Advance(1s);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), Query(clus).dwCurrentState);

  ASSERT_TRUE(services::SetState("ClusSvc", SERVICE_PAUSED));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), Query(clus).dwCurrentState);
  EXPECT_FALSE(services::SetState("NoSuchService", SERVICE_RUNNING));
}

TEST_F(ServicesStates, StopIsRefusedWhileAnyDependentIsActive) {
  Define("SNMP", {}, SERVICE_RUNNING);
  Define("Agent", {"snmp"}, SERVICE_RUNNING);
  Define("Monitor", {"Agent"}, SERVICE_RUNNING);
  SC_HANDLE snmp = Open("SNMP");
  SERVICE_STATUS status;
  EXPECT_EQ(ERROR_DEPENDENT_SERVICES_RUNNING, Stop(snmp, &status));
  EXPECT_EQ(ERROR_DEPENDENT_SERVICES_RUNNING, Stop(Open("Agent"), &status));

  // Only the indirect dependent runs: still refused.
  ASSERT_TRUE(services::SetState("Agent", SERVICE_STOPPED));
  EXPECT_EQ(ERROR_DEPENDENT_SERVICES_RUNNING, Stop(snmp, &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("SNMP"));

  EXPECT_EQ(ERROR_SUCCESS, Stop(Open("Monitor"), &status));
  EXPECT_EQ(ERROR_SUCCESS, Stop(snmp, &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);

  // A stopped service with an active dependent is refused before anything else.
  ASSERT_TRUE(services::SetState("Monitor", SERVICE_START_PENDING));
  EXPECT_EQ(ERROR_DEPENDENT_SERVICES_RUNNING, Stop(snmp, &status));
}

TEST_F(ServicesStates, StartingAServiceStartsItsDependenciesFirst) {
  velplat::clock::VirtualTimeScope time;
  Define("Base", {}, SERVICE_STOPPED, 1000ms);
  Define("Top", {"Base"}, SERVICE_STOPPED, 500ms);
  ASSERT_TRUE(StartServiceA(Open("Top"), 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), State("Base"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), State("Top"));
  EXPECT_EQ(1500u, services::Get("Top")->status.dwWaitHint);

  velplat::clock::Advance(1000ms);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Base"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), State("Top"));
  velplat::clock::Advance(500ms);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Top"));

  auto requests = services::Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("Base", requests[0].service);
  EXPECT_EQ("Top", requests[1].service);
  EXPECT_EQ(services::RequestKind::Start, requests[1].kind);
}

TEST_F(ServicesStates, StartsThatCannotSucceedAreRefusedOrEndStopped) {
  Define("Orphan", {"Missing"});
  SC_HANDLE orphan = Open("Orphan");
  EXPECT_FALSE(StartServiceA(orphan, 0, nullptr));
  EXPECT_EQ(ERROR_SERVICE_DEPENDENCY_DELETED, GetLastError());

  services::ServiceConfig off;
  off.name = "Off";
  off.startType = SERVICE_DISABLED;
  services::Define(off);
  Define("NeedsOff", {"Off"});
  EXPECT_FALSE(StartServiceA(Open("Off"), 0, nullptr));
  EXPECT_EQ(ERROR_SERVICE_DISABLED, GetLastError());
  EXPECT_FALSE(StartServiceA(Open("NeedsOff"), 0, nullptr));
  EXPECT_EQ(ERROR_SERVICE_DEPENDENCY_FAIL, GetLastError());

  Define("Ping", {"Pong"});
  Define("Pong", {"Ping"});
  EXPECT_FALSE(StartServiceA(Open("Ping"), 0, nullptr));
  EXPECT_EQ(ERROR_CIRCULAR_DEPENDENCY, GetLastError());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Pong"));

  services::ServiceConfig failing;
  failing.name = "Failing";
  failing.startFailure = ERROR_FILE_NOT_FOUND;
  services::Define(failing);
  SC_HANDLE handle = Open("Failing");
  EXPECT_TRUE(StartServiceA(handle, 0, nullptr)) << "the start request itself is accepted";
  SERVICE_STATUS status = Query(handle);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), status.dwWin32ExitCode);

  ASSERT_TRUE(services::Remove("Orphan"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), Query(orphan).dwCurrentState) << "open handles still answer";
  EXPECT_FALSE(StartServiceA(orphan, 0, nullptr));
  EXPECT_EQ(ERROR_SERVICE_MARKED_FOR_DELETE, GetLastError());
}

TEST_F(ServicesStates, DependentsComeInStopOrderAndByStateFilter) {
  Define("SNMP", {}, SERVICE_RUNNING);
  Define("Alpha", {"SNMP"}, SERVICE_RUNNING);
  Define("Beta", {"Alpha"}, SERVICE_STOPPED);
  Define("Gamma", {"SNMP", "Beta"}, SERVICE_RUNNING);
  Define("Unrelated", {}, SERVICE_RUNNING);
  SC_HANDLE snmp = Open("SNMP");
  EXPECT_EQ((Names{"Gamma", "Beta", "Alpha"}), Dependents(snmp, SERVICE_STATE_ALL))
      << "each service after those that depend on it, every one once";
  EXPECT_EQ((Names{"Gamma", "Alpha"}), Dependents(snmp, SERVICE_ACTIVE));
  EXPECT_EQ((Names{"Beta"}), Dependents(snmp, SERVICE_INACTIVE));
  EXPECT_EQ((Names{}), Dependents(Open("Gamma"), SERVICE_STATE_ALL));

  DWORD needed = 0, count = 7;
  EXPECT_TRUE(EnumDependentServicesA(Open("Unrelated"), SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
  EXPECT_EQ(0u, count) << "no buffer is needed when there are no dependents";
  EXPECT_FALSE(EnumDependentServicesA(snmp, 4, nullptr, 0, &needed, &count));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(ServicesStates, DependentsFillTheCallersBufferWithTheirStrings) {
  Define("SNMP", {}, SERVICE_RUNNING);
  Define("Alpha", {"SNMP"}, SERVICE_RUNNING);
  Define("Beta", {"SNMP"}, SERVICE_STOPPED);
  SC_HANDLE snmp = Open("SNMP");
  const DWORD expected = 2 * sizeof(ENUM_SERVICE_STATUSA) + sizeof("Alpha") + sizeof("Alpha display") +
                         sizeof("Beta") + sizeof("Beta display");

  DWORD needed = 0, count = 9;
  EXPECT_FALSE(EnumDependentServicesA(snmp, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
  EXPECT_EQ(ERROR_MORE_DATA, GetLastError());
  EXPECT_EQ(expected, needed);
  EXPECT_EQ(0u, count);

  std::vector<BYTE> buffer(expected + 16, 0xCD);
  auto entries = reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data());
  EXPECT_FALSE(EnumDependentServicesA(snmp, SERVICE_STATE_ALL, entries, expected - 1, &needed, &count));
  EXPECT_EQ(ERROR_MORE_DATA, GetLastError());
  EXPECT_EQ(0xCD, buffer[0]) << "nothing is written into a buffer too small";

  ASSERT_TRUE(EnumDependentServicesA(snmp, SERVICE_STATE_ALL, entries, expected, &needed, &count));
  ASSERT_EQ(2u, count);
  EXPECT_STREQ("Alpha", entries[0].lpServiceName);
  EXPECT_STREQ("Alpha display", entries[0].lpDisplayName);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), entries[0].ServiceStatus.dwCurrentState);
  EXPECT_STREQ("Beta", entries[1].lpServiceName);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), entries[1].ServiceStatus.dwCurrentState);
  for (int i = 0; i < 2; ++i) {
    for (const char* text : {entries[i].lpServiceName, entries[i].lpDisplayName}) {
      auto at = reinterpret_cast<const BYTE*>(text);
      EXPECT_GE(at, buffer.data() + 2 * sizeof(ENUM_SERVICE_STATUSA));
      EXPECT_LT(at, buffer.data() + expected);
    }
  }
  EXPECT_EQ(0xCD, buffer[expected]) << "nothing is written past the announced size";
}

TEST_F(ServicesStates, DefiningAServiceWritesItsRegistryKey) {
  services::ServiceConfig config;
  config.name = "OracleCMService9i";
  config.imagePath = "C:\\oracle\\bin\\oraclecm.exe";
  config.dependencies = {"Tcpip"};
  config.startType = SERVICE_AUTO_START;
  services::Define(config);
  const char* key = "SYSTEM\\CurrentControlSet\\Services\\OracleCMService9i";
  auto image = velplat::registry::GetValue(key, "ImagePath");
  ASSERT_TRUE(image);
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), image->type);
  EXPECT_STREQ(config.imagePath.c_str(), reinterpret_cast<const char*>(image->data.data()));
  auto start = velplat::registry::GetValue(key, "Start");
  ASSERT_TRUE(start);
  EXPECT_EQ(static_cast<BYTE>(SERVICE_AUTO_START), start->data[0]);
  EXPECT_TRUE(velplat::registry::GetValue(key, "DependOnService"));

  EXPECT_TRUE(services::Remove("oraclecmservice9i"));
  EXPECT_FALSE(velplat::registry::KeyExists(key));
  EXPECT_FALSE(services::Remove("OracleCMService9i"));
}

TEST_F(ServicesStates, ArmedFailuresLeaveTheServiceAsItWas) {
  Define("SNMP", {}, SERVICE_RUNNING);
  SC_HANDLE snmp = Open("SNMP");
  velplat::faults::FailCall("ControlService", ERROR_SERVICE_REQUEST_TIMEOUT);
  SERVICE_STATUS status;
  EXPECT_EQ(ERROR_SERVICE_REQUEST_TIMEOUT, Stop(snmp, &status));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("SNMP"));
  velplat::faults::FailCall("EnumDependentServicesA", ERROR_NOT_ENOUGH_MEMORY);
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(EnumDependentServicesA(snmp, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
}

}  // namespace
