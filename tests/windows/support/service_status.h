// Reporting a test service's state to the service control manager, shared
// by the services the Windows tests host (service_control_test and
// wine/service_stand_in): an own-process service that accepts the stop
// control only while it runs.
//
// Call from the service's own threads (its ServiceMain or control handler).
#ifndef VELMON_TESTS_WINDOWS_SUPPORT_SERVICE_STATUS_H
#define VELMON_TESTS_WINDOWS_SUPPORT_SERVICE_STATUS_H

#include <windows.h>

namespace wintest {

inline void ReportServiceState(SERVICE_STATUS_HANDLE service, DWORD state, DWORD waitHint = 0) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = waitHint;
  SetServiceStatus(service, &status);
}

}  // namespace wintest

#endif
