// The C++ control API of the local accounts (velplat/accounts.h).
#include "accounts_db.h"

#include <velplat/accounts.h>
#include <velplat/clock.h>

#include <algorithm>

namespace velplat::accounts {
namespace {

using detail::AccountDb;

Machine& Target(Machine* machine) { return machine ? *machine : World::Get().Local(); }

const std::string* UserNameOf(const AccountDb& db, DWORD rid) {
  for (const auto& [name, user] : db.users)
    if (user.rid == rid) return &user.name;
  return nullptr;
}

}  // namespace

void SetUser(const UserInfo& user, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  auto it = db.users.find(user.name);
  if (it == db.users.end()) {
    detail::UserRecord record;
    record.rid = db.nextRid++;
    it = db.users.emplace(user.name, std::move(record)).first;
  }
  detail::UserRecord& record = it->second;
  record.name = user.name;
  record.password = user.password;
  record.comment = user.comment;
  record.homeDir = user.homeDir;
  record.scriptPath = user.scriptPath;
  record.flags = user.flags;
  record.passwordSetMs = clock::NowMs();
}

bool RemoveUser(std::string_view name, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  auto it = db.users.find(name);
  if (it == db.users.end()) return false;
  for (auto& [groupName, group] : db.groups) std::erase(group.members, it->second.rid);
  db.users.erase(it);
  return true;
}

std::optional<UserInfo> GetUser(std::string_view name, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  auto it = db.users.find(name);
  if (it == db.users.end()) return std::nullopt;
  const detail::UserRecord& record = it->second;
  return UserInfo{record.name,       record.password, record.comment, record.homeDir,
                  record.scriptPath, record.flags,    record.rid};
}

std::vector<std::string> UserNames(Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  std::vector<std::string> names;
  for (const auto& [name, user] : db.users) names.push_back(user.name);
  return names;
}

bool AddGroup(std::string_view name, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  if (name.empty() || db.groups.count(name) || db.users.count(name)) return false;
  detail::GroupRecord group;
  group.name = std::string(name);
  group.scope = detail::GroupScope::Machine;
  group.rid = db.nextRid++;
  db.groups.emplace(group.name, std::move(group));
  return true;
}

bool RemoveGroup(std::string_view name, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  auto it = db.groups.find(name);
  if (it == db.groups.end()) return false;
  db.groups.erase(it);
  return true;
}

std::vector<std::string> GroupNames(Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  std::vector<std::string> names;
  for (const auto& [name, group] : db.groups) names.push_back(group.name);
  return names;
}

std::optional<std::vector<std::string>> GroupMembers(std::string_view group, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  auto it = db.groups.find(group);
  if (it == db.groups.end()) return std::nullopt;
  std::vector<std::string> members;
  for (DWORD rid : it->second.members)
    if (const std::string* name = UserNameOf(db, rid)) members.push_back(*name);
  return members;
}

bool AddGroupMember(std::string_view group, std::string_view user, Machine* machine) {
  Machine& target = Target(machine);
  return detail::ChangeMembership(target, group, detail::MemberRef{nullptr, std::string(user)},
                                  detail::MembershipChange::Add) == NERR_Success;
}

bool RemoveGroupMember(std::string_view group, std::string_view user, Machine* machine) {
  Machine& target = Target(machine);
  return detail::ChangeMembership(target, group, detail::MemberRef{nullptr, std::string(user)},
                                  detail::MembershipChange::Remove) == NERR_Success;
}

void SetMinimumPasswordLength(std::size_t length, Machine* machine) {
  AccountDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  db.minPasswordLength = length;
}

}  // namespace velplat::accounts
