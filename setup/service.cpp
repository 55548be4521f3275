// CService: construction, and stopping and starting the service itself.
#include "setup/service.h"

#include "setup/setup_error.h"
#include "setup/status_dialog.h"

namespace velsetup {

CService::CService(const std::string& serviceName, DWORD desiredAccess, CServiceManager* manager)
    : m_pManager(manager), m_desiredAccess(desiredAccess), m_serviceName(serviceName) {
  if (!m_pManager) {
    m_ownedManager = std::make_unique<CServiceManager>(SC_MANAGER_ALL_ACCESS, "", "");
    m_pManager = m_ownedManager.get();
  }
  if (m_pManager->m_hManager) {
    m_hService = OpenServiceA(m_pManager->m_hManager, m_serviceName.c_str(), m_desiredAccess);
    if (!m_hService) ReportSetupError("CService::CService()", GetLastError());
  }
}

CService::~CService() {
  m_dependentNames.clear();
  m_dependents.reset();
  if (m_hService) CloseServiceHandle(m_hService);
}  // an owned manager closes after the service

DWORD CService::Stop(bool withDependents) {
  if (!QueryServiceStatus(m_hService, &m_status)) {
    DWORD error = GetLastError();
    ReportSetupError("Stop()", error);
    return error;
  }
  if (m_status.dwCurrentState == SERVICE_STOPPED) return 0;
  if (m_status.dwCurrentState == SERVICE_STOP_PENDING)
    WaitForStatusPending(m_status, SERVICE_STOP_PENDING, m_hService, kPendingTimeoutMs);

  CStatusDialog window;
  if (withDependents) {
    if (!m_quiet) {
      window.ShowStatusWindow(nullptr);
      window.SetStatusText("Stopping dependent services of: " + m_serviceName + " ...");
    }
    EnumDependencies(SERVICE_STATE_ALL);
    StopDependents();
  }
  if (!m_quiet) {
    window.ShowStatusWindow(nullptr);
    window.SetStatusText("Stopping service: " + m_serviceName + "...");
  }
  Sleep(kPauseBeforeStopMs);

  if (!ControlService(m_hService, SERVICE_CONTROL_STOP, &m_status)) {
    DWORD error = GetLastError();  // returned, not reported
    window.DestroyWindow();
    return error;
  }
  DWORD result = 0;
  if (m_status.dwCurrentState == SERVICE_STOP_PENDING)
    result = WaitForStatusPending(m_status, SERVICE_STOP_PENDING, m_hService, kPendingTimeoutMs);
  window.DestroyWindow();
  return result;
}

DWORD CService::Start(bool withDependents) {
  if (!QueryServiceStatus(m_hService, &m_status)) {
    DWORD error = GetLastError();
    ReportSetupError("Start()", error);
    return error;
  }
  if (m_status.dwCurrentState == SERVICE_RUNNING) return 0;
  if (m_status.dwCurrentState == SERVICE_START_PENDING)
    WaitForStatusPending(m_status, SERVICE_START_PENDING, m_hService, kPendingTimeoutMs);

  CStatusDialog window;
  if (!m_quiet) {
    window.ShowStatusWindow(nullptr);
    window.SetStatusText("Starting service: " + m_serviceName + " ...");
  }
  if (!StartServiceA(m_hService, 0, nullptr)) {
    DWORD error = GetLastError();
    ReportSetupError("Start()", error);
    window.DestroyWindow();
    return error;
  }
  if (!QueryServiceStatus(m_hService, &m_status)) {
    DWORD error = GetLastError();
    ReportSetupError("Start()", error);
    window.DestroyWindow();
    return error;
  }
  DWORD result = 0;
  if (m_status.dwCurrentState == SERVICE_START_PENDING)
    result = WaitForStatusPending(m_status, SERVICE_START_PENDING, m_hService, kPendingTimeoutMs);
  if (withDependents) {
    EnumDependencies(SERVICE_STATE_ALL);
    StartDependents();
  }
  window.DestroyWindow();
  return result;
}

}  // namespace velsetup
