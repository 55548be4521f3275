// Shared steps of the service control manager's Win32 functions: failing
// with a last error, and resolving an SC_HANDLE to its object and machine
// with the checks every call makes (kind, reachability, granted right).
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_SERVICES_API_COMMON_H
#define VELPLAT_SRC_SERVICES_API_COMMON_H

#include "services_handles.h"

#include <windows.h>
#include <winsvc.h>

namespace velplat::services::detail {

inline BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

inline SC_HANDLE FailHandle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

struct Target {
  std::shared_ptr<const ScObject> object;
  Machine* machine = nullptr;
};

// 0, ERROR_INVALID_HANDLE (unknown handle, wrong kind, machine gone),
// RPC_S_SERVER_UNAVAILABLE (remote machine no longer reachable) or
// ERROR_ACCESS_DENIED (`right` not granted).
DWORD ResolveHandle(SC_HANDLE handle, HandleKind kind, DWORD right, Target* target);

}  // namespace velplat::services::detail

#endif
