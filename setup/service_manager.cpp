// The service control manager connection.
#include "setup/service_manager.h"

#include "setup/setup_error.h"

namespace velsetup {

CServiceManager::CServiceManager(DWORD desiredAccess, const std::string& database, const std::string& machine)
    : m_database(database.empty() ? SERVICES_ACTIVE_DATABASEA : database),
      m_machine(machine),
      m_desiredAccess(desiredAccess) {
  m_hManager =
      OpenSCManagerA(m_machine.empty() ? nullptr : m_machine.c_str(), m_database.c_str(), m_desiredAccess);
  if (!m_hManager) ReportSetupError("OpenSCManager()", GetLastError());
}

CServiceManager::~CServiceManager() {
  if (m_hManager) CloseServiceHandle(m_hManager);
}

}  // namespace velsetup
