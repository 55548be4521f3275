// CService: stops and starts one service together with the services that
// depend on it, waiting out pending states, showing what it does in a
// status window unless quiet, and reporting every failure through
// ReportSetupError.
//
// Dependents are handled in the order the service control manager lists
// them, for stopping and for starting. Waits poll the service every quarter
// of its wait hint and give up after 60 s (ERROR_TIMEOUT, reported). The
// results are system error codes, 0 for success; StopDependents and
// StartDependents answer -1 when no dependents were enumerated.
//
// Lifecycle: one object per installer action: constructed (opening the
// service), optionally made quiet, Start or Stop once, destroyed.
// Thread-safety: one thread; every call blocks it, sleeps included.
#ifndef VELSETUP_SERVICE_H
#define VELSETUP_SERVICE_H

#include "setup/service_manager.h"

#include <windows.h>
#include <winsvc.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velsetup {

inline constexpr DWORD kPendingTimeoutMs = 60000;
inline constexpr DWORD kPauseBeforeStopMs = 1000;
inline constexpr DWORD kStopDependentAccess = SERVICE_STOP | SERVICE_QUERY_STATUS;
inline constexpr DWORD kStartDependentAccess = SERVICE_START | SERVICE_QUERY_STATUS;

class CService {
 public:
  // Without a manager the service connects to the local service control
  // manager itself (full access, active database) and owns that connection.
  explicit CService(const std::string& serviceName, DWORD desiredAccess = SERVICE_ALL_ACCESS,
                    CServiceManager* manager = nullptr);
  virtual ~CService();
  CService(const CService&) = delete;
  CService& operator=(const CService&) = delete;

  // `withDependents`: stop the dependents first / start them afterwards.
  DWORD Start(bool withDependents);
  DWORD Stop(bool withDependents);

  // Lists the dependents in `serviceState` into m_dependents and
  // m_dependentNames.
  DWORD EnumDependencies(DWORD serviceState);
  std::int32_t StopDependents();
  std::int32_t StartDependents();

  // While `status` shows `pendingState` (start or stop pending), sleeps a
  // quarter of its wait hint and queries `service` again; 0 once the target
  // state (running, stopped) or another state is reached.
  DWORD WaitForStatusPending(SERVICE_STATUS& status, DWORD pendingState, SC_HANDLE service, DWORD timeoutMs);

  void SetQuiet(bool quiet) { m_quiet = quiet ? 1 : 0; }

  SC_HANDLE m_hService = nullptr;
  CServiceManager* m_pManager = nullptr;
  SERVICE_STATUS m_status{};
  DWORD m_dependentCount = 0;
  std::unique_ptr<CServiceManager> m_ownedManager;  // null when the caller lent m_pManager
  std::vector<std::string> m_dependentNames;
  DWORD m_desiredAccess;
  std::string m_serviceName;
  std::int32_t m_quiet = 0;
  std::unique_ptr<ENUM_SERVICE_STATUSA[]> m_dependents;
};

}  // namespace velsetup

#endif
