// LookupAccountNameA over the account database of the machine asked.
#include "accounts_db.h"
#include "security_remote.h"

#include <velplat/faults.h>
#include <windows.h>
#include <winapi/security.h>

#include <cstring>

namespace {
BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}
}  // namespace

BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                               LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse) {
  using namespace velplat::security;
  if (auto error = velplat::faults::ConsumeCall("LookupAccountNameA")) return Fail(*error);
  if (!lpAccountName || !cbSid || !cchReferencedDomainName || !peUse) return Fail(ERROR_INVALID_PARAMETER);

  Connection connection = Connect(lpSystemName ? lpSystemName : "");
  switch (connection.failure) {
    case ConnectFailure::None:
      break;
    case ConnectFailure::UnknownMachine:
    case ConnectFailure::Unreachable:
      return Fail(RPC_S_SERVER_UNAVAILABLE);
    case ConnectFailure::Refused:
      return Fail(ERROR_ACCESS_DENIED);
  }
  auto found = velplat::accounts::detail::LookupName(*connection.machine, lpAccountName);
  if (!found) return Fail(ERROR_NONE_MAPPED);

  auto sidSize = static_cast<DWORD>(found->sid.size());
  auto domainSize = static_cast<DWORD>(found->domain.size() + 1);
  if (!Sid || *cbSid < sidSize || !ReferencedDomainName || *cchReferencedDomainName < domainSize) {
    *cbSid = sidSize;
    *cchReferencedDomainName = domainSize;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(Sid, found->sid.data(), sidSize);
  std::memcpy(ReferencedDomainName, found->domain.c_str(), domainSize);
  *cbSid = sidSize;
  *cchReferencedDomainName = domainSize - 1;
  *peUse = found->use;
  return TRUE;
}
