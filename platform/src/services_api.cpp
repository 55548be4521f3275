// The service control manager's Win32 functions: argument and access checks
// over the service database of the machine a handle names.
#include "services_api_common.h"

#include <velplat/clock.h>
#include <velplat/faults.h>

namespace {

using namespace velplat::services::detail;
using velplat::security::ConnectFailure;

bool IsDatabaseNameActive(LPCSTR name) {
  return !name || !*name || velplat::EqualsNoCase(name, SERVICES_ACTIVE_DATABASEA);
}

// The right a control needs, or 0 for a control code that does not exist.
DWORD RightForControl(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE:
      return SERVICE_INTERROGATE;
    default:
      return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
  }
}

}  // namespace

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
  if (auto error = velplat::faults::ConsumeCall("OpenSCManagerA")) return FailHandle(*error);
  auto connection = velplat::security::Connect(lpMachineName ? lpMachineName : "");
  switch (connection.failure) {
    case ConnectFailure::None:
      break;
    case ConnectFailure::UnknownMachine:
    case ConnectFailure::Unreachable:
      return FailHandle(RPC_S_SERVER_UNAVAILABLE);
    case ConnectFailure::Refused:
      return FailHandle(ERROR_ACCESS_DENIED);
  }
  if (!IsDatabaseNameActive(lpDatabaseName)) {
    return FailHandle(velplat::EqualsNoCase(lpDatabaseName, SERVICES_FAILED_DATABASEA) ? ERROR_DATABASE_DOES_NOT_EXIST
                                                                                       : ERROR_INVALID_NAME);
  }
  auto granted = GrantManagerAccess(dwDesiredAccess, connection.standing);
  if (!granted) return FailHandle(ERROR_ACCESS_DENIED);
  ScObject manager;
  manager.kind = HandleKind::Manager;
  manager.machine = connection.machine->Name();
  manager.locality = connection.locality;
  manager.standing = connection.standing;
  manager.granted = *granted;
  return InsertScHandle(std::move(manager));
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  if (auto error = velplat::faults::ConsumeCall("OpenServiceA")) return FailHandle(*error);
  Target target;
  if (DWORD error = ResolveHandle(hSCManager, HandleKind::Manager, 0, &target)) return FailHandle(error);
  if (!lpServiceName || !*lpServiceName) return FailHandle(ERROR_INVALID_NAME);

  // A local caller is checked under its identity of the moment; a remote
  // connection keeps the identity it was authenticated with.
  auto standing = target.object->locality == velplat::security::Locality::Local
                      ? velplat::security::StandingOn(*target.machine, velplat::security::Locality::Local)
                      : target.object->standing;
  ServiceDb& db = Database(*target.machine);
  ServicePtr service;
  {
    std::lock_guard lock(db.mutex);
    auto it = db.services.find(std::string_view(lpServiceName));
    if (it != db.services.end()) service = it->second;
  }
  if (!service) return FailHandle(ERROR_SERVICE_DOES_NOT_EXIST);
  auto granted = GrantServiceAccess(dwDesiredAccess, standing);
  if (!granted) return FailHandle(ERROR_ACCESS_DENIED);

  ScObject object;
  object.kind = HandleKind::Service;
  object.machine = target.object->machine;
  object.locality = target.object->locality;
  object.standing = standing;
  object.service = std::move(service);
  object.granted = *granted;
  return InsertScHandle(std::move(object));
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  if (auto error = velplat::faults::ConsumeCall("CloseServiceHandle")) return Fail(*error);
  if (!RemoveScHandle(hSCObject)) return Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  if (auto error = velplat::faults::ConsumeCall("QueryServiceStatus")) return Fail(*error);
  Target target;
  if (DWORD error = ResolveHandle(hService, HandleKind::Service, SERVICE_QUERY_STATUS, &target)) return Fail(error);
  if (!lpServiceStatus) return Fail(ERROR_INVALID_PARAMETER);
  ServiceDb& db = Database(*target.machine);
  std::lock_guard lock(db.mutex);
  auto now = velplat::clock::NowMs();
  Settle(db, now, target.object->service.get());
  *lpServiceStatus = StatusOf(*target.object->service, now);
  return TRUE;
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  if (auto error = velplat::faults::ConsumeCall("ControlService")) return Fail(*error);
  Target target;
  if (DWORD error = ResolveHandle(hService, HandleKind::Service, 0, &target)) return Fail(error);
  DWORD right = RightForControl(dwControl);
  if (right == 0 || !lpServiceStatus) return Fail(ERROR_INVALID_PARAMETER);
  if ((target.object->granted & right) != right) return Fail(ERROR_ACCESS_DENIED);

  ServiceDb& db = Database(*target.machine);
  std::lock_guard lock(db.mutex);
  auto now = velplat::clock::NowMs();
  ServiceRecord& service = *target.object->service;
  Settle(db, now, &service);
  DWORD error = Control(db, service, dwControl, now);
  if (error == NO_ERROR || error == ERROR_SERVICE_NOT_ACTIVE || error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL ||
      error == ERROR_INVALID_SERVICE_CONTROL)
    *lpServiceStatus = StatusOf(service, now);
  return error == NO_ERROR ? TRUE : Fail(error);
}

BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
  (void)dwNumServiceArgs;
  (void)lpServiceArgVectors;
  if (auto error = velplat::faults::ConsumeCall("StartServiceA")) return Fail(*error);
  Target target;
  if (DWORD error = ResolveHandle(hService, HandleKind::Service, SERVICE_START, &target)) return Fail(error);
  ServiceDb& db = Database(*target.machine);
  std::lock_guard lock(db.mutex);
  auto now = velplat::clock::NowMs();
  Settle(db, now, target.object->service.get());
  DWORD error = Start(db, *target.object->service, now);
  return error == NO_ERROR ? TRUE : Fail(error);
}
