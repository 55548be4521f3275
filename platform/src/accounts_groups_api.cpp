// NetLocalGroupAddMembers and NetLocalGroupDelMembers.
#include "accounts_db.h"
#include "accounts_net.h"
#include "accounts_text.h"

#include <lm.h>
#include <velplat/faults.h>

namespace {

using namespace velplat::accounts::detail;

// Applies `change` to each member in order, stopping at the first failure.
NET_API_STATUS ChangeMembers(LPCWSTR servername, LPCWSTR groupname, DWORD level, LPBYTE buf, DWORD totalentries,
                             MembershipChange change) {
  velplat::Machine* machine = nullptr;
  if (auto status = ConnectServer(servername, Need::Change, &machine); status != NERR_Success) return status;
  if (level != 0 && level != 3) return ERROR_INVALID_LEVEL;
  if (!groupname || (!buf && totalentries > 0)) return ERROR_INVALID_PARAMETER;
  std::string group = *Utf8FromWide(groupname);
  if (!HasGroup(*machine, group)) return NERR_GroupNotFound;
  for (DWORD i = 0; i < totalentries; ++i) {
    MemberRef member;
    if (level == 0) {
      member.sid = reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_0*>(buf)[i].lgrmi0_sid;
      if (!member.sid) return ERROR_INVALID_PARAMETER;
    } else {
      auto name = Utf8FromWide(reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_3*>(buf)[i].lgrmi3_domainandname);
      if (!name) return ERROR_INVALID_PARAMETER;
      member.domainAndName = std::move(*name);
    }
    if (auto status = ChangeMembership(*machine, group, member, change); status != NERR_Success) return status;
  }
  return NERR_Success;
}

}  // namespace

NET_API_STATUS NET_API_FUNCTION NetLocalGroupAddMembers(LPCWSTR servername, LPCWSTR groupname, DWORD level,
                                                        LPBYTE buf, DWORD totalentries) {
  if (auto error = velplat::faults::ConsumeCall("NetLocalGroupAddMembers")) return *error;
  return ChangeMembers(servername, groupname, level, buf, totalentries, MembershipChange::Add);
}

NET_API_STATUS NET_API_FUNCTION NetLocalGroupDelMembers(LPCWSTR servername, LPCWSTR groupname, DWORD level,
                                                        LPBYTE buf, DWORD totalentries) {
  if (auto error = velplat::faults::ConsumeCall("NetLocalGroupDelMembers")) return *error;
  return ChangeMembers(servername, groupname, level, buf, totalentries, MembershipChange::Remove);
}
