// CServiceManager: the connection to a machine's service control manager
// that CService opens services through. The connection is opened by the
// constructor and closed by the destructor; a failed open is reported
// ("OpenSCManager()") and leaves the handle null, so that later calls fail
// and are reported in turn.
// Thread-safety: one thread.
#ifndef VELSETUP_SERVICE_MANAGER_H
#define VELSETUP_SERVICE_MANAGER_H

#include <windows.h>
#include <winsvc.h>

#include <string>

namespace velsetup {

class CServiceManager {
 public:
  // An empty database means "ServicesActive", an empty machine the local one.
  CServiceManager(DWORD desiredAccess, const std::string& database, const std::string& machine);
  virtual ~CServiceManager();
  CServiceManager(const CServiceManager&) = delete;
  CServiceManager& operator=(const CServiceManager&) = delete;

  std::string m_database;
  std::string m_machine;
  DWORD m_desiredAccess;
  SC_HANDLE m_hManager = nullptr;
};

}  // namespace velsetup

#endif
