// CService: listing the dependents and stopping or starting them one by one.
#include "setup/service.h"

#include "setup/setup_error.h"
#include "setup/status_dialog.h"

#include <new>

namespace velsetup {
namespace {

// An open dependent, closed on every way out of the loop's step.
class DependentHandle {
 public:
  DependentHandle(SC_HANDLE manager, const char* name, DWORD access)
      : handle_(OpenServiceA(manager, name, access)) {}
  ~DependentHandle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  DependentHandle(const DependentHandle&) = delete;
  DependentHandle& operator=(const DependentHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

DWORD ReportLastError(const char* operation) {
  DWORD error = GetLastError();
  ReportSetupError(operation, error);
  return error;
}

}  // namespace

DWORD CService::EnumDependencies(DWORD serviceState) {
  m_dependentNames.clear();
  m_dependents.reset();

  DWORD needed = 0;
  DWORD count = 0;
  if (EnumDependentServicesA(m_hService, serviceState, nullptr, 0, &needed, &count)) {
    m_dependentCount = 0;  // there are none
    return 0;
  }
  if (GetLastError() != ERROR_MORE_DATA) return ReportLastError("EnumDependencies()");

  // Whole entries covering the announced size, and one more.
  const DWORD entries = needed / sizeof(ENUM_SERVICE_STATUSA) + 1;
  m_dependents.reset(new (std::nothrow) ENUM_SERVICE_STATUSA[entries]);
  if (!m_dependents) {
    ReportSetupError("EnumDependencies()", ERROR_NOT_ENOUGH_MEMORY);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!EnumDependentServicesA(m_hService, serviceState, m_dependents.get(),
                              entries * static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUSA)), &needed, &count)) {
    m_dependents.reset();
    return ReportLastError("EnumDependencies()");
  }
  m_dependentCount = count;
  for (DWORD i = 0; i < count; ++i) m_dependentNames.emplace_back(m_dependents[i].lpServiceName);
  return 0;
}

std::int32_t CService::StopDependents() {
  if (!m_dependents) return -1;
  CStatusDialog window;
  if (!m_quiet) {
    window.ShowStatusWindow(nullptr);
    window.SetStatusText("Stopping dependent services of : " + m_serviceName + " service...");
  }
  for (DWORD i = 0; i < m_dependentCount; ++i) {
    const ENUM_SERVICE_STATUSA& entry = m_dependents[i];
    DependentHandle dependent(m_pManager->m_hManager, entry.lpServiceName, kStopDependentAccess);
    if (!dependent.get()) return static_cast<std::int32_t>(ReportLastError("StopDependents()"));
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(dependent.get(), &status))
      return static_cast<std::int32_t>(ReportLastError("StopDependents()"));
    if (status.dwCurrentState == SERVICE_STOPPED) continue;
    if (status.dwCurrentState == SERVICE_STOP_PENDING)
      WaitForStatusPending(status, SERVICE_STOP_PENDING, dependent.get(), kPendingTimeoutMs);
    if (!m_quiet) {
      window.ShowStatusWindow(nullptr);
      window.SetStatusText(std::string("Stopping service: ") + entry.lpDisplayName + " ...");
    }
    if (!ControlService(dependent.get(), SERVICE_CONTROL_STOP, &status))
      return static_cast<std::int32_t>(ReportLastError(entry.lpDisplayName));
    if (status.dwCurrentState == SERVICE_STOP_PENDING)
      WaitForStatusPending(status, SERVICE_STOP_PENDING, dependent.get(), kPendingTimeoutMs);
  }
  window.DestroyWindow();
  return 0;
}

std::int32_t CService::StartDependents() {
  if (!m_dependents) return -1;
  CStatusDialog window;
  if (!m_quiet) {
    window.ShowStatusWindow(nullptr);
    window.SetStatusText("Starting dependent services of : " + m_serviceName + " service...");
  }
  for (DWORD i = 0; i < m_dependentCount; ++i) {
    const ENUM_SERVICE_STATUSA& entry = m_dependents[i];
    DependentHandle dependent(m_pManager->m_hManager, entry.lpServiceName, kStartDependentAccess);
    if (!dependent.get()) return static_cast<std::int32_t>(ReportLastError("StartDependents()"));
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(dependent.get(), &status))
      return static_cast<std::int32_t>(ReportLastError("StartDependents()"));
    if (status.dwCurrentState == SERVICE_RUNNING) continue;
    if (status.dwCurrentState == SERVICE_START_PENDING)
      WaitForStatusPending(status, SERVICE_START_PENDING, dependent.get(), kPendingTimeoutMs);
    if (!m_quiet) {
      window.ShowStatusWindow(nullptr);
      window.SetStatusText(std::string("Starting service: ") + entry.lpDisplayName + " ...");
    }
    if (!StartServiceA(dependent.get(), 0, nullptr))
      return static_cast<std::int32_t>(ReportLastError(entry.lpDisplayName));
    if (!QueryServiceStatus(dependent.get(), &status))
      return static_cast<std::int32_t>(ReportLastError("StartDependents()"));
    if (status.dwCurrentState == SERVICE_START_PENDING)
      WaitForStatusPending(status, SERVICE_START_PENDING, dependent.get(), kPendingTimeoutMs);
  }
  window.DestroyWindow();
  return 0;
}

}  // namespace velsetup
