// LogonUserA, ImpersonateLoggedOnUser and RevertToSelf over the local
// account database and the per-thread identity.
#include "accounts_db.h"
#include "security_identity.h"

#include <velplat/faults.h>
#include <velplat/world.h>
#include <windows.h>
#include <winapi/security.h>

namespace {

using velplat::security::Standing;
using velplat::security::Token;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool IsLocalDomain(const char* domain, const velplat::Machine& local) {
  std::string_view name = domain ? domain : "";
  return name.empty() || name == "." || velplat::EqualsNoCase(name, local.Name());
}

bool IsSupportedLogon(DWORD type, DWORD provider) {
  bool typeOk = type == LOGON32_LOGON_INTERACTIVE || type == LOGON32_LOGON_NETWORK || type == LOGON32_LOGON_BATCH ||
                type == LOGON32_LOGON_SERVICE || type == LOGON32_LOGON_NETWORK_CLEARTEXT;
  return typeOk && provider <= LOGON32_PROVIDER_WINNT50;
}

}  // namespace

BOOL WINAPI LogonUserA(LPCSTR lpszUsername, LPCSTR lpszDomain, LPCSTR lpszPassword, DWORD dwLogonType,
                       DWORD dwLogonProvider, PHANDLE phToken) {
  if (auto error = velplat::faults::ConsumeCall("LogonUserA")) return Fail(*error);
  if (!phToken || !lpszUsername || !IsSupportedLogon(dwLogonType, dwLogonProvider))
    return Fail(ERROR_INVALID_PARAMETER);
  *phToken = nullptr;
  velplat::Machine& local = velplat::World::Get().Local();
  if (!IsLocalDomain(lpszDomain, local)) return Fail(ERROR_LOGON_FAILURE);

  std::string password = lpszPassword ? lpszPassword : "";
  auto account = velplat::accounts::detail::CheckPassword(local, lpszUsername, password);
  if (!account) return Fail(ERROR_LOGON_FAILURE);
  if (account->flags & UF_ACCOUNTDISABLE) return Fail(ERROR_ACCOUNT_DISABLED);
  if (account->flags & UF_LOCKOUT) return Fail(ERROR_ACCOUNT_LOCKED_OUT);

  auto token = std::make_shared<Token>(local.Name(), std::move(account->name), std::move(password),
                                       account->administrator ? Standing::Administrator : Standing::User);
  *phToken = velplat::kernel::InsertHandle(std::move(token));
  return TRUE;
}

BOOL WINAPI ImpersonateLoggedOnUser(HANDLE hToken) {
  if (auto error = velplat::faults::ConsumeCall("ImpersonateLoggedOnUser")) return Fail(*error);
  auto token = velplat::kernel::LookupHandleAs<Token>(hToken);
  if (!token) return Fail(ERROR_INVALID_HANDLE);
  velplat::security::SetThreadToken(std::move(token));
  return TRUE;
}

BOOL WINAPI RevertToSelf(void) {
  if (auto error = velplat::faults::ConsumeCall("RevertToSelf")) return Fail(*error);
  velplat::security::SetThreadToken(nullptr);
  return TRUE;
}
