// The six installer actions, the library's only exports.
#include "setup/velsetup.h"

#include "setup/agent_account.h"
#include "setup/install_mode.h"
#include "setup/product_version.h"
#include "setup/service.h"
#include "setup/service_presence.h"
#include "setup/setup_error.h"

#include <lm.h>

#include <cstring>
#include <new>

namespace {

constexpr char kSnmpService[] = "SNMP";

enum class Direction { Stop, Start };

// Nothing may unwind into the installer: an exhausted heap becomes a code.
template <class Body>
UINT Guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

UINT ControlSnmp(MSIHANDLE install, Direction direction) {
  velsetup::CService snmp(kSnmpService, SERVICE_ALL_ACCESS);
  if (velsetup::ReadInstallMode(install) == 0) snmp.SetQuiet(true);
  return direction == Direction::Stop ? snmp.Stop(true) : snmp.Start(true);
}

}  // namespace

VELSETUP_API UINT WINAPI StopSNMP(MSIHANDLE hInstall) {
  return Guarded([&] { return ControlSnmp(hInstall, Direction::Stop); });
}

VELSETUP_API UINT WINAPI StartSNMP(MSIHANDLE hInstall) {
  return Guarded([&] { return ControlSnmp(hInstall, Direction::Start); });
}

VELSETUP_API UINT WINAPI CreateRACUser(MSIHANDLE) {
  return Guarded([] {
    if (velsetup::CreateAgentAccount(nullptr, velsetup::kAgentAccountName, UF_NORMAL_ACCOUNT)) return 0u;
    DWORD error = GetLastError();
    velsetup::ReportSetupError("Cannot Create 'RACUSER' Account.", error);
    return static_cast<UINT>(error);
  });
}

VELSETUP_API UINT WINAPI DeleteRACUser(MSIHANDLE) {
  return Guarded([] {
    if (velsetup::DeleteAgentAccount(nullptr, velsetup::kAgentAccountName)) return 0u;
    DWORD error = GetLastError();
    // The text is the one installers' log scanners know for removal.
    velsetup::ReportSetupError("Cannor Create 'RACUSER' Account.", error);
    return static_cast<UINT>(error);
  });
}

VELSETUP_API UINT WINAPI IsServicePresent(LPCSTR serviceName) {
  return Guarded([&] { return velsetup::IsServiceInstalled(serviceName) ? 1u : 0u; });
}

VELSETUP_API UINT WINAPI GetProductVersion(LPSTR versionText, LPCSTR fileName) {
  if (!versionText || !fileName) return ERROR_INVALID_PARAMETER;
  return Guarded([&] {
    std::string text = velsetup::ReadProductVersion(fileName);
    std::memcpy(versionText, text.c_str(), text.size() + 1);  // the caller has room, as agreed
    return 0u;
  });
}
