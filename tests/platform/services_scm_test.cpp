// Connecting to service control managers, locally and on other machines:
// database names, identities a remote machine accepts, unreachable and
// unknown machines, rights granted to handles, handle lifetime.
#include <windows.h>
#include <winapi/security.h>
#include <winsvc.h>

#include <velplat/accounts.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

namespace accounts = velplat::accounts;
namespace services = velplat::services;
using namespace std::chrono_literals;

constexpr const char* kPassword = "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}";
constexpr DWORD kQueryLockStatus = 0x10;

class ServicesScm : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    nodeB_ = &velplat::World::Get().Add("NODEB");
    services::ServiceConfig cm;
    cm.name = "OracleCMService9I";
    cm.initialState = SERVICE_RUNNING;
    services::Define(cm, nodeB_);
    services::Define(cm);
    accounts::SetUser({"RACUSER", kPassword});
    accounts::SetUser({"RACUSER", kPassword}, nodeB_);
    baseHandles_ = services::OpenHandleCount();
  }
  void TearDown() override {
    RevertToSelf();
    velplat::faults::Clear();
    EXPECT_EQ(baseHandles_, services::OpenHandleCount()) << "a test leaked a service handle";
  }

  // Logs on as RACUSER locally and impersonates it; returns the token.
  static HANDLE ImpersonateAgent() {
    HANDLE token = nullptr;
    EXPECT_TRUE(LogonUserA("RACUSER", ".", kPassword, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &token));
    EXPECT_TRUE(ImpersonateLoggedOnUser(token));
    return token;
  }

  // The member query: manager with 0x10, service with SERVICE_QUERY_STATUS.
  // Returns the current state, or 0 with the error in *error.
  static DWORD QueryMember(const char* machine, DWORD* error) {
    *error = ERROR_SUCCESS;
    SC_HANDLE manager = OpenSCManagerA(machine, "ServicesActive", kQueryLockStatus);
    if (!manager) {
      *error = GetLastError();
      return 0;
    }
    SC_HANDLE service = OpenServiceA(manager, "oraclecmservice9i", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!service) {
      *error = GetLastError();
    } else {
      if (!QueryServiceStatus(service, &status)) *error = GetLastError();
      CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return status.dwCurrentState;
  }

  velplat::Machine* nodeB_ = nullptr;
  size_t baseHandles_ = 0;
};

TEST_F(ServicesScm, RemoteQueryAsAnAccountKnownOnBothMachinesSucceeds) {
  HANDLE token = ImpersonateAgent();
  DWORD error = 0;
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), QueryMember("\\\\NODEB", &error));
  EXPECT_EQ(ERROR_SUCCESS, error);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), QueryMember("nodeb", &error)) << "the backslashes are optional";
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), QueryMember("", &error)) << "an empty name is the local machine";

  // Pass-through needs the same password on the other machine.
  accounts::SetUser({"RACUSER", "another password"}, nodeB_);
  EXPECT_EQ(0u, QueryMember("\\\\NODEB", &error));
  EXPECT_EQ(ERROR_ACCESS_DENIED, error);
  accounts::RemoveUser("RACUSER", nodeB_);
  EXPECT_EQ(0u, QueryMember("\\\\NODEB", &error));
  EXPECT_EQ(ERROR_ACCESS_DENIED, error);
  RevertToSelf();
  CloseHandle(token);
}

TEST_F(ServicesScm, RemoteQueryUnderTheProcessIdentityIsRefusedUnlessTheMachineAcceptsIt) {
  DWORD error = 0;
  EXPECT_EQ(0u, QueryMember("\\\\NODEB", &error));
  EXPECT_EQ(ERROR_ACCESS_DENIED, error);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), QueryMember(nullptr, &error)) << "locally LocalSystem may do anything";

  services::SetNetwork(*nodeB_, {true, 0ms, services::ProcessIdentityAccess::User});
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), QueryMember("\\\\NODEB", &error));
  EXPECT_EQ(nullptr, OpenSCManagerA("\\\\NODEB", nullptr, SC_MANAGER_ALL_ACCESS)) << "only a user's rights";
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
}

TEST_F(ServicesScm, UnknownMachinesAndDatabasesFailWithTheirOwnCodes) {
  DWORD error = 0;
  EXPECT_EQ(0u, QueryMember("\\\\NOWHERE", &error));
  EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, error);

  EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, "ServicesFailed", kQueryLockStatus));
  EXPECT_EQ(ERROR_DATABASE_DOES_NOT_EXIST, GetLastError());
  EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, "NoSuchDatabase", kQueryLockStatus));
  EXPECT_EQ(ERROR_INVALID_NAME, GetLastError());
  SC_HANDLE manager = OpenSCManagerA(nullptr, "servicesactive", kQueryLockStatus);
  ASSERT_NE(nullptr, manager);

  EXPECT_EQ(nullptr, OpenServiceA(manager, "NoSuchService", SERVICE_QUERY_STATUS));
  EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, GetLastError());
  EXPECT_EQ(nullptr, OpenServiceA(manager, "", SERVICE_QUERY_STATUS));
  EXPECT_EQ(ERROR_INVALID_NAME, GetLastError());
  CloseServiceHandle(manager);
}

TEST_F(ServicesScm, UnreachableMachineFailsAfterItsConnectionTime) {
  velplat::clock::VirtualTimeScope time(1000);
  services::SetNetwork(*nodeB_, {false, 20s, services::ProcessIdentityAccess::Refused});

  std::atomic<bool> done{false};
  DWORD error = 0;
  std::uint64_t endedAt = 0;
  std::thread caller([&] {
    HANDLE callerToken = ImpersonateAgent();
    QueryMember("\\\\NODEB", &error);
    endedAt = velplat::clock::NowMs();
    done = true;
    RevertToSelf();
    CloseHandle(callerToken);
  });
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 5s));
  velplat::clock::Advance(19999ms);
  EXPECT_FALSE(done.load()) << "still connecting";
  velplat::clock::Advance(1ms);
  caller.join();
  EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, error);
  EXPECT_EQ(21000u, endedAt);
}

TEST_F(ServicesScm, OpenHandlesFailOnceTheirMachineBecomesUnreachable) {
  services::SetNetwork(*nodeB_, {true, 0ms, services::ProcessIdentityAccess::Administrator});
  SC_HANDLE manager = OpenSCManagerA("NODEB", nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(nullptr, manager);
  SC_HANDLE service = OpenServiceA(manager, "OracleCMService9I", SERVICE_ALL_ACCESS);
  ASSERT_NE(nullptr, service);

  services::SetNetwork(*nodeB_, {false, 0ms, services::ProcessIdentityAccess::Administrator});
  SERVICE_STATUS status{};
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, GetLastError());
  EXPECT_TRUE(CloseServiceHandle(service)) << "closing needs no connection";
  EXPECT_TRUE(CloseServiceHandle(manager));
}

TEST_F(ServicesScm, OrdinaryUsersGetReadRightsOnly) {
  HANDLE token = ImpersonateAgent();
  EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  ASSERT_NE(nullptr, manager);
  EXPECT_EQ(nullptr, OpenServiceA(manager, "OracleCMService9I", SERVICE_STOP));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  SC_HANDLE service = OpenServiceA(manager, "OracleCMService9I", GENERIC_READ);
  ASSERT_NE(nullptr, service);
  SERVICE_STATUS status{};
  EXPECT_TRUE(QueryServiceStatus(service, &status));
  CloseServiceHandle(service);

  // The check uses the identity of the moment: reverted, the same manager
  // handle opens the service for stopping.
  RevertToSelf();
  service = OpenServiceA(manager, "OracleCMService9I", SERVICE_STOP);
  EXPECT_NE(nullptr, service);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  CloseHandle(token);
}

TEST_F(ServicesScm, HandlesRefuseWhatTheyWereNotOpenedFor) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  ASSERT_NE(nullptr, manager);
  SC_HANDLE service = OpenServiceA(manager, "OracleCMService9I", SERVICE_QUERY_STATUS);
  ASSERT_NE(nullptr, service);
  SERVICE_STATUS status{};
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(StartServiceA(service, 0, nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(EnumDependentServicesA(service, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), services::Get("OracleCMService9I")->status.dwCurrentState);

  EXPECT_FALSE(QueryServiceStatus(manager, &status)) << "a manager is no service";
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_EQ(nullptr, OpenServiceA(service, "OracleCMService9I", SERVICE_QUERY_STATUS));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

  EXPECT_TRUE(CloseServiceHandle(service));
  EXPECT_FALSE(CloseServiceHandle(service));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  CloseServiceHandle(manager);
}

TEST_F(ServicesScm, ArmedFailuresReachEachCall) {
  velplat::faults::FailCall("OpenSCManagerA", ERROR_INVALID_PARAMETER);
  DWORD error = 0;
  EXPECT_EQ(0u, QueryMember(nullptr, &error));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, error);

  velplat::faults::FailCall("QueryServiceStatus", ERROR_INVALID_HANDLE);
  EXPECT_EQ(0u, QueryMember(nullptr, &error));
  EXPECT_EQ(ERROR_INVALID_HANDLE, error);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), QueryMember(nullptr, &error));
}

}  // namespace
