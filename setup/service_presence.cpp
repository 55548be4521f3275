// Testing for an installed service.
#include "setup/service_presence.h"

#include "setup/service_manager.h"
#include "setup/setup_error.h"

namespace velsetup {

bool IsServiceInstalled(const char* serviceName) {
  CServiceManager manager(GENERIC_READ, "", "");
  if (!serviceName || !*serviceName || !manager.m_hManager) return false;
  SC_HANDLE service = OpenServiceA(manager.m_hManager, serviceName, SERVICE_QUERY_STATUS);
  if (service) {
    CloseServiceHandle(service);
    return true;
  }
  DWORD error = GetLastError();
  if (error != ERROR_SERVICE_DOES_NOT_EXIST && error != ERROR_INVALID_NAME)
    ReportSetupError("IsServicePresent()", error);
  return false;
}

}  // namespace velsetup
