// C++ control of the simulated local accounts, for tests and the host daemon:
// define users and local groups on any machine, read them back, and see the
// calling thread's identity.
//
// Every machine starts with the users Administrator (empty password, member of
// Administrators) and Guest (disabled, member of Guests) and the built-in
// local groups Administrators, Users and Guests. Names compare without regard
// to case. A null `machine` means the world's local machine.
//
// Identities: a thread runs as the process identity (LocalSystem, an
// administrator of the local machine) unless it impersonates a logon token
// (winapi/security.h). A remote machine accepts a token when it has an
// enabled account of the same name whose password is the one the token was
// logged on with (pass-through authentication between workgroup machines);
// the caller then has that account's rights there. How a remote machine
// treats the process identity is set with services::SetNetwork.
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_ACCOUNTS_H
#define VELPLAT_ACCOUNTS_H

#include <lm.h>
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::accounts {

struct UserInfo {
  std::string name{};
  std::string password{};
  std::string comment{};
  std::string homeDir{};
  std::string scriptPath{};
  DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  DWORD rid = 0;  // read back only: the account's relative identifier
};

// Adds the user, or replaces the attributes of the one of that name while it
// keeps its identifier and group memberships.
void SetUser(const UserInfo& user, Machine* machine = nullptr);
bool RemoveUser(std::string_view name, Machine* machine = nullptr);
std::optional<UserInfo> GetUser(std::string_view name, Machine* machine = nullptr);
// Names in case-insensitive alphabetical order.
std::vector<std::string> UserNames(Machine* machine = nullptr);

// Adds an (empty) local group; false when the name is taken.
bool AddGroup(std::string_view name, Machine* machine = nullptr);
bool RemoveGroup(std::string_view name, Machine* machine = nullptr);
std::vector<std::string> GroupNames(Machine* machine = nullptr);
// User names in the order they joined; nullopt when the group is missing.
std::optional<std::vector<std::string>> GroupMembers(std::string_view group, Machine* machine = nullptr);
// False when the group or the user is missing or the user is a member.
bool AddGroupMember(std::string_view group, std::string_view user, Machine* machine = nullptr);
bool RemoveGroupMember(std::string_view group, std::string_view user, Machine* machine = nullptr);

// Passwords shorter than this are refused by NetUserAdd and NetUserSetInfo
// with NERR_PasswordTooShort (default 0).
void SetMinimumPasswordLength(std::size_t length, Machine* machine = nullptr);

// The calling thread's identity: "MACHINE\user" of the token it impersonates,
// or nullopt while it runs as the process identity.
std::optional<std::string> ImpersonatedUser();
// Logon tokens alive in the process: open handles and impersonations.
std::size_t LiveTokenCount();

}  // namespace velplat::accounts

#endif
