// Creating, resetting and deleting the agent's account through the network
// management calls.
#include "setup/agent_account.h"

#include "setup/agent_password.h"
#include "setup/local_block.h"
#include "setup/wide_text.h"

#include <lm.h>

#include <algorithm>
#include <iterator>

namespace velsetup {
namespace {

constexpr DWORD kAccountFlags = UF_SCRIPT | UF_DONT_EXPIRE_PASSWD;

bool IsAcceptedAccountType(DWORD type) {
  return type == UF_NORMAL_ACCOUNT || type == UF_INTERDOMAIN_TRUST_ACCOUNT || type == UF_WORKSTATION_TRUST_ACCOUNT ||
         type == UF_SERVER_TRUST_ACCOUNT;
}

// Adds the account to the local group "Users"; already being a member, and
// any failure, are accepted.
void JoinUsersGroup(const char* server, const char* account, LPCWSTR wideServer) {
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = SidTypeUnknown;
  if (LookupAccountNameA(server, account, nullptr, &sidSize, nullptr, &domainSize, &use) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return;
  LocalBlock sid(sidSize + 4);
  LocalBlock domain(domainSize + 1);
  if (!sid || !domain) return;
  sidSize += 4;
  domainSize += 1;
  if (!LookupAccountNameA(server, account, sid.as<void>(), &sidSize, domain.as<char>(), &domainSize, &use)) return;

  WCHAR users[] = VELSETUP_WIDE("Users");
  LOCALGROUP_MEMBERS_INFO_0 member{sid.as<void>()};
  NetLocalGroupAddMembers(wideServer, users, 0, reinterpret_cast<LPBYTE>(&member), 1);
}

}  // namespace

BOOL CreateAgentAccount(const char* server, const char* account, DWORD accountType) {
  if (!IsAcceptedAccountType(accountType)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WideText wideServer(server);
  WideText wideAccount(account);
  if (!wideServer.ok() || !wideAccount.ok()) return FALSE;  // the heap set the last error

  WCHAR password[std::size(kAgentAccountPassword)];
  std::copy(std::begin(kAgentAccountPassword), std::end(kAgentAccountPassword), password);
  WCHAR comment[] = VELSETUP_WIDE("DO NOT MODIFY. Built-in account for Velmora RAC Agent.");
  USER_INFO_1 record{};
  record.usri1_name = wideAccount.get();
  record.usri1_password = password;
  record.usri1_password_age = 0;
  record.usri1_priv = USER_PRIV_USER;
  record.usri1_home_dir = nullptr;
  record.usri1_comment = comment;
  record.usri1_flags = kAccountFlags | accountType;
  record.usri1_script_path = nullptr;

  DWORD parameter = 0;
  NET_API_STATUS status = NetUserAdd(wideServer.get(), 1, reinterpret_cast<LPBYTE>(&record), &parameter);
  if (status == NERR_UserExists)  // reinstallation: restore password, comment, privilege and flags
    status = NetUserSetInfo(wideServer.get(), wideAccount.get(), 1, reinterpret_cast<LPBYTE>(&record), &parameter);
  if (status != NERR_Success) {
    SetLastError(status);
    return FALSE;
  }
  JoinUsersGroup(server, account, wideServer.get());
  return TRUE;
}

BOOL DeleteAgentAccount(const char* server, const char* account) {
  if (!account || !*account) return TRUE;
  WideText wideServer(server);
  WideText wideAccount(account);
  if (!wideServer.ok() || !wideAccount.ok()) return FALSE;
  NetUserDel(wideServer.get(), wideAccount.get());  // a missing account is fine
  return TRUE;
}

}  // namespace velsetup
