// The local account database: built-in accounts, user and membership changes
// with their validation, lookups by name.
#include "accounts_db.h"

#include <velplat/clock.h>

#include <algorithm>
#include <bit>

namespace velplat::accounts::detail {
namespace {

constexpr std::size_t kMaxUserName = 20;
constexpr std::string_view kBadNameCharacters = "\"/\\[]:|<>+=;,?*@";

UserRecord* FindUser(AccountDb& db, std::string_view name) {
  auto it = db.users.find(name);
  return it == db.users.end() ? nullptr : &it->second;
}

UserRecord* FindUserByRid(AccountDb& db, DWORD rid) {
  for (auto& [name, user] : db.users)
    if (user.rid == rid) return &user;
  return nullptr;
}

GroupRecord* FindGroup(AccountDb& db, std::string_view name) {
  auto it = db.groups.find(name);
  return it == db.groups.end() ? nullptr : &it->second;
}

bool IsMember(AccountDb& db, std::string_view group, DWORD rid) {
  const GroupRecord* record = FindGroup(db, group);
  return record && std::find(record->members.begin(), record->members.end(), rid) != record->members.end();
}

// The privilege level that group membership gives an account.
DWORD Privilege(AccountDb& db, DWORD rid) {
  if (IsMember(db, "Administrators", rid)) return USER_PRIV_ADMIN;
  if (IsMember(db, "Guests", rid)) return USER_PRIV_GUEST;
  return USER_PRIV_USER;
}

bool IsValidUserName(std::string_view name) {
  if (name.size() > kMaxUserName) return false;
  if (name.find_first_not_of(". ") == std::string_view::npos) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || kBadNameCharacters.find(c) != std::string_view::npos;
  });
}

// The account type bits of `flags`: one type, or none (a normal account);
// nullopt for several.
std::optional<DWORD> AccountType(DWORD flags) {
  DWORD type = flags & UF_ACCOUNT_TYPE_MASK;
  if (std::popcount(type) > 1) return std::nullopt;
  return type;
}

NET_API_STATUS InvalidParameter(DWORD* parmErr, DWORD parm) {
  if (parmErr) *parmErr = parm;
  return ERROR_INVALID_PARAMETER;
}

void AddBuiltins(AccountDb& db) {
  auto addGroup = [&db](const char* name, DWORD rid) {
    db.groups.emplace(name, GroupRecord{name, GroupScope::Builtin, rid, {}});
  };
  addGroup("Administrators", kAdministratorsRid);
  addGroup("Users", kUsersRid);
  addGroup("Guests", kGuestsRid);

  UserRecord admin;
  admin.name = "Administrator";
  admin.comment = "Built-in account for administering the computer/domain";
  admin.flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_DONT_EXPIRE_PASSWD;
  admin.rid = kAdministratorRid;
  db.users.emplace(admin.name, admin);
  db.groups.at("Administrators").members.push_back(kAdministratorRid);

  UserRecord guest;
  guest.name = "Guest";
  guest.comment = "Built-in account for guest access to the computer/domain";
  guest.flags = UF_SCRIPT | UF_ACCOUNTDISABLE | UF_NORMAL_ACCOUNT | UF_PASSWD_NOTREQD | UF_DONT_EXPIRE_PASSWD;
  guest.rid = kGuestRid;
  db.users.emplace(guest.name, guest);
  db.groups.at("Guests").members.push_back(kGuestRid);
}

// Resolves a caller's member reference to a user of this machine.
NET_API_STATUS ResolveMember(AccountDb& db, const Machine& machine, const MemberRef& member, DWORD* rid) {
  if (member.sid) {
    if (auto own = RidInMachineDomain(machine.Name(), member.sid)) {
      if (FindUserByRid(db, *own)) {
        *rid = *own;
        return NERR_Success;
      }
      for (const auto& [name, group] : db.groups)
        if (group.scope == GroupScope::Machine && group.rid == *own) return ERROR_INVALID_MEMBER;
      return ERROR_NO_SUCH_MEMBER;
    }
    if (auto builtin = RidInBuiltin(member.sid)) {
      for (const auto& [name, group] : db.groups)
        if (group.scope == GroupScope::Builtin && group.rid == *builtin) return ERROR_INVALID_MEMBER;
    }
    return ERROR_NO_SUCH_MEMBER;
  }
  std::string_view text = member.domainAndName;
  std::string_view domain;
  if (auto slash = text.find('\\'); slash != std::string_view::npos) {
    domain = text.substr(0, slash);
    text = text.substr(slash + 1);
  }
  if (!domain.empty() && !EqualsNoCase(domain, machine.Name())) {
    const GroupRecord* group = FindGroup(db, text);
    bool builtinGroup = group && group->scope == GroupScope::Builtin && EqualsNoCase(domain, "BUILTIN");
    return builtinGroup ? ERROR_INVALID_MEMBER : ERROR_NO_SUCH_MEMBER;
  }
  if (const UserRecord* user = FindUser(db, text)) {
    *rid = user->rid;
    return NERR_Success;
  }
  return FindGroup(db, text) ? ERROR_INVALID_MEMBER : ERROR_NO_SUCH_MEMBER;
}

}  // namespace

AccountDb::AccountDb() { AddBuiltins(*this); }

AccountDb& Database(Machine& machine) { return machine.State<AccountDb>(); }

NET_API_STATUS AddUser(Machine& machine, std::string_view name, const UserFields& fields, DWORD* parmErr) {
  if (name.empty()) return InvalidParameter(parmErr, USER_NAME_PARMNUM);
  if (!IsValidUserName(name)) return NERR_BadUsername;
  if (fields.privilege.value_or(USER_PRIV_USER) != USER_PRIV_USER) return InvalidParameter(parmErr, USER_PRIV_PARMNUM);
  DWORD flags = fields.flags.value_or(UF_SCRIPT);
  auto type = AccountType(flags);
  if (!type) return InvalidParameter(parmErr, USER_FLAGS_PARMNUM);
  if (*type == 0) flags |= UF_NORMAL_ACCOUNT;

  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  if (FindUser(db, name)) return NERR_UserExists;
  if (FindGroup(db, name)) return NERR_GroupExists;
  std::string password = fields.password.value_or("");
  if (password.size() < db.minPasswordLength) return NERR_PasswordTooShort;

  UserRecord user;
  user.name = std::string(name);
  user.password = std::move(password);
  user.homeDir = fields.homeDir.value_or("");
  user.comment = fields.comment.value_or("");
  user.scriptPath = fields.scriptPath.value_or("");
  user.flags = flags;
  user.rid = db.nextRid++;
  user.passwordSetMs = clock::NowMs();
  db.users.emplace(user.name, std::move(user));
  return NERR_Success;
}

NET_API_STATUS UpdateUser(Machine& machine, std::string_view name, const UserFields& fields, DWORD* parmErr) {
  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  UserRecord* user = FindUser(db, name);
  if (!user) return NERR_UserNotFound;
  if (fields.privilege && *fields.privilege != Privilege(db, user->rid))
    return InvalidParameter(parmErr, USER_PRIV_PARMNUM);
  std::optional<DWORD> flags = fields.flags;
  if (flags) {
    auto type = AccountType(*flags);
    if (!type) return InvalidParameter(parmErr, USER_FLAGS_PARMNUM);
    if (*type == 0) *flags |= user->flags & UF_ACCOUNT_TYPE_MASK;
  }
  if (fields.password && fields.password->size() < db.minPasswordLength) return NERR_PasswordTooShort;
  if (fields.password) {
    user->password = *fields.password;
    user->passwordSetMs = clock::NowMs();
  }
  if (fields.homeDir) user->homeDir = *fields.homeDir;
  if (fields.comment) user->comment = *fields.comment;
  if (fields.scriptPath) user->scriptPath = *fields.scriptPath;
  if (flags) user->flags = *flags;
  return NERR_Success;
}

NET_API_STATUS DeleteUser(Machine& machine, std::string_view name) {
  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  auto it = db.users.find(name);
  if (it == db.users.end()) return NERR_UserNotFound;
  DWORD rid = it->second.rid;
  if (rid == kAdministratorRid || rid == kGuestRid) return ERROR_SPECIAL_ACCOUNT;
  for (auto& [groupName, group] : db.groups) std::erase(group.members, rid);
  db.users.erase(it);
  return NERR_Success;
}

std::optional<UserView> ReadUser(Machine& machine, std::string_view name) {
  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  const UserRecord* user = FindUser(db, name);
  if (!user) return std::nullopt;
  UserView view;
  view.record = *user;
  view.privilege = Privilege(db, user->rid);
  view.administrator = view.privilege == USER_PRIV_ADMIN;
  view.passwordAgeSeconds = static_cast<DWORD>((clock::NowMs() - user->passwordSetMs) / 1000);
  return view;
}

std::optional<LogonCheck> CheckPassword(Machine& machine, std::string_view name, std::string_view password) {
  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  const UserRecord* user = FindUser(db, name);
  if (!user || user->password != password) return std::nullopt;
  return LogonCheck{user->name, user->flags, Privilege(db, user->rid) == USER_PRIV_ADMIN};
}

bool HasGroup(Machine& machine, std::string_view group) {
  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  return FindGroup(db, group) != nullptr;
}

NET_API_STATUS ChangeMembership(Machine& machine, std::string_view group, const MemberRef& member,
                                MembershipChange change) {
  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  GroupRecord* record = FindGroup(db, group);
  if (!record) return NERR_GroupNotFound;
  DWORD rid = 0;
  if (NET_API_STATUS status = ResolveMember(db, machine, member, &rid); status != NERR_Success) return status;
  auto it = std::find(record->members.begin(), record->members.end(), rid);
  if (change == MembershipChange::Add) {
    if (it != record->members.end()) return ERROR_MEMBER_IN_ALIAS;
    record->members.push_back(rid);
  } else {
    if (it == record->members.end()) return ERROR_MEMBER_NOT_IN_ALIAS;
    record->members.erase(it);
  }
  return NERR_Success;
}

std::optional<AccountLookup> LookupName(Machine& machine, std::string_view name) {
  std::string_view domain;
  if (auto slash = name.find('\\'); slash != std::string_view::npos) {
    domain = name.substr(0, slash);
    name = name.substr(slash + 1);
  }
  bool ownDomain = domain.empty() || EqualsNoCase(domain, machine.Name());
  bool builtinDomain = domain.empty() || EqualsNoCase(domain, "BUILTIN");

  AccountDb& db = Database(machine);
  std::lock_guard lock(db.mutex);
  if (const UserRecord* user = FindUser(db, name); user && ownDomain)
    return AccountLookup{MachineSid(machine.Name(), user->rid), machine.Name(), SidTypeUser};
  if (const GroupRecord* group = FindGroup(db, name)) {
    if (group->scope == GroupScope::Builtin && builtinDomain)
      return AccountLookup{BuiltinSid(group->rid), "BUILTIN", SidTypeAlias};
    if (group->scope == GroupScope::Machine && ownDomain)
      return AccountLookup{MachineSid(machine.Name(), group->rid), machine.Name(), SidTypeAlias};
  }
  return std::nullopt;
}

}  // namespace velplat::accounts::detail
