// The local account database of one machine: users, local groups and their
// members, with the operations behind the network management functions and
// the control API. Status results are NET_API_STATUS values.
//
// Access checks are the callers' business; this layer only keeps the
// database consistent. Thread-safety: every function takes the database's
// own lock; none calls out while holding it.
#ifndef VELPLAT_SRC_ACCOUNTS_DB_H
#define VELPLAT_SRC_ACCOUNTS_DB_H

#include "accounts_sid.h"

#include <lm.h>
#include <winapi/security.h>
#include <velplat/world.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat::accounts::detail {

constexpr DWORD kAdministratorRid = 500;
constexpr DWORD kGuestRid = 501;
constexpr DWORD kAdministratorsRid = 544;
constexpr DWORD kUsersRid = 545;
constexpr DWORD kGuestsRid = 546;
constexpr DWORD kFirstOwnRid = 1000;

enum class GroupScope { Builtin, Machine };

struct UserRecord {
  std::string name;
  std::string password;
  std::string comment;
  std::string homeDir;
  std::string scriptPath;
  DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  DWORD rid = 0;
  std::uint64_t passwordSetMs = 0;  // platform clock
};

struct GroupRecord {
  std::string name;
  GroupScope scope = GroupScope::Machine;
  DWORD rid = 0;
  std::vector<DWORD> members;  // user identifiers in the order they joined
};

struct AccountDb {
  AccountDb();
  std::mutex mutex;
  std::map<std::string, UserRecord, NoCaseLess> users;
  std::map<std::string, GroupRecord, NoCaseLess> groups;
  DWORD nextRid = kFirstOwnRid;
  std::size_t minPasswordLength = 0;
};

AccountDb& Database(Machine& machine);

// A user as NetUserAdd / NetUserSetInfo describe it; absent members are left
// as they are (on creation: empty).
struct UserFields {
  std::optional<std::string> password;
  std::optional<std::string> homeDir;
  std::optional<std::string> comment;
  std::optional<std::string> scriptPath;
  std::optional<DWORD> flags;
  std::optional<DWORD> privilege;  // must match what the account has
};

NET_API_STATUS AddUser(Machine& machine, std::string_view name, const UserFields& fields, DWORD* parmErr);
NET_API_STATUS UpdateUser(Machine& machine, std::string_view name, const UserFields& fields, DWORD* parmErr);
NET_API_STATUS DeleteUser(Machine& machine, std::string_view name);

struct UserView {
  UserRecord record;
  DWORD privilege = USER_PRIV_USER;  // from group membership
  DWORD passwordAgeSeconds = 0;
  bool administrator = false;
};
std::optional<UserView> ReadUser(Machine& machine, std::string_view name);

// What a logon needs of an account whose password is `password`; nullopt
// when there is no such account or the password differs. Cheaper than
// ReadUser, as logons and pass-through checks happen on every remote call.
struct LogonCheck {
  std::string name;  // as stored
  DWORD flags = 0;
  bool administrator = false;
};
std::optional<LogonCheck> CheckPassword(Machine& machine, std::string_view name, std::string_view password);

// A member named by a caller: a SID (level 0) or "DOMAIN\name" / "name"
// (level 3).
struct MemberRef {
  const void* sid = nullptr;
  std::string domainAndName;
};
bool HasGroup(Machine& machine, std::string_view group);
enum class MembershipChange { Add, Remove };
NET_API_STATUS ChangeMembership(Machine& machine, std::string_view group, const MemberRef& member,
                                MembershipChange change);

// What LookupAccountNameA answers for a name.
struct AccountLookup {
  SidBytes sid;
  std::string domain;
  SID_NAME_USE use = SidTypeUser;
};
std::optional<AccountLookup> LookupName(Machine& machine, std::string_view name);

}  // namespace velplat::accounts::detail

#endif
