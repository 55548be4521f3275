// Service control manager handles: what an SC_HANDLE names (a connection to
// a machine's database or an open service), the rights granted to it, and
// the access rules that grant them.
//
// A handle keeps the machine's name rather than the machine, so that a handle
// outliving World::Reset fails cleanly. Handles are never reused.
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_SRC_SERVICES_HANDLES_H
#define VELPLAT_SRC_SERVICES_HANDLES_H

#include "security_remote.h"
#include "services_db.h"

#include <winsvc.h>

#include <cstddef>
#include <memory>
#include <string>

namespace velplat::services::detail {

enum class HandleKind { Manager, Service };

struct ScObject {
  HandleKind kind = HandleKind::Manager;
  std::string machine;
  security::Locality locality = security::Locality::Local;
  security::Standing standing = security::Standing::Refused;  // of the connection (managers)
  ServicePtr service;                                          // services only
  DWORD granted = 0;
};

SC_HANDLE InsertScHandle(ScObject object);
std::shared_ptr<const ScObject> LookupScHandle(SC_HANDLE handle);
bool RemoveScHandle(SC_HANDLE handle);
std::size_t ScHandleCount();

// The rights granted for `desired` (generic rights mapped, MAXIMUM_ALLOWED
// honoured) to a caller of `standing`, or nullopt when it asks for more than
// that standing allows.
std::optional<DWORD> GrantManagerAccess(DWORD desired, security::Standing standing);
std::optional<DWORD> GrantServiceAccess(DWORD desired, security::Standing standing);

}  // namespace velplat::services::detail

#endif
