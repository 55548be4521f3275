// Resolving SC_HANDLEs for the service functions.
#include "services_api_common.h"

namespace velplat::services::detail {

DWORD ResolveHandle(SC_HANDLE handle, HandleKind kind, DWORD right, Target* target) {
  auto object = LookupScHandle(handle);
  if (!object || object->kind != kind) return ERROR_INVALID_HANDLE;
  Machine* machine = World::Get().Find(object->machine);
  if (!machine) return ERROR_INVALID_HANDLE;
  if (object->locality == security::Locality::Remote && !security::Reachable(*machine))
    return RPC_S_SERVER_UNAVAILABLE;
  if ((object->granted & right) != right) return ERROR_ACCESS_DENIED;
  target->object = std::move(object);
  target->machine = machine;
  return NO_ERROR;
}

}  // namespace velplat::services::detail
