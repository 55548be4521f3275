// CService::WaitForStatusPending: polling a pending state to its end.
#include "setup/service.h"

#include "setup/setup_error.h"

namespace velsetup {

DWORD CService::WaitForStatusPending(SERVICE_STATUS& status, DWORD pendingState, SC_HANDLE service,
                                     DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  DWORD target = 0;
  if (pendingState == SERVICE_START_PENDING)
    target = SERVICE_RUNNING;
  else if (pendingState == SERVICE_STOP_PENDING)
    target = SERVICE_STOPPED;
  else
    return 0;

  while (status.dwCurrentState == pendingState) {
    Sleep(status.dwWaitHint / 4);  // a hint of 0 polls without pause
    if (!QueryServiceStatus(service, &status)) {
      DWORD error = GetLastError();
      ReportSetupError("WaitForStatusPending()", error);
      return error;
    }
    if (status.dwCurrentState == target) return 0;
    if (GetTickCount() - start > timeoutMs) {  // unsigned: survives the tick count's wrap
      ReportSetupError("WaitForStatusPending()", ERROR_TIMEOUT);
      return ERROR_TIMEOUT;
    }
  }
  return 0;
}

}  // namespace velsetup
