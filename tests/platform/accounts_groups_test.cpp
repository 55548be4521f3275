// Local group membership and account-name lookup: the installer's path from
// a name to its SID to membership of "Users", the answers for members that
// are already there or cannot be, and what membership changes.
#include <lm.h>
#include <windows.h>
#include <winapi/security.h>

#include <velplat/accounts.h>
#include <velplat/faults.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace accounts = velplat::accounts;
using Names = std::vector<std::string>;

struct Lookup {
  std::vector<BYTE> sid;
  std::string domain;
  SID_NAME_USE use = SidTypeInvalid;
};

// The two-step lookup: ask the sizes, then read with the sizes announced.
std::optional<Lookup> LookUp(const char* name, const char* system = nullptr) {
  DWORD sidSize = 0;
  DWORD domainChars = 0;
  SID_NAME_USE use;
  if (LookupAccountNameA(system, name, nullptr, &sidSize, nullptr, &domainChars, &use)) return std::nullopt;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  Lookup result;
  result.sid.resize(sidSize);
  std::string domain(domainChars, '\0');
  DWORD announcedChars = domainChars;
  if (!LookupAccountNameA(system, name, result.sid.data(), &sidSize, domain.data(), &domainChars, &result.use))
    return std::nullopt;
  EXPECT_EQ(announcedChars - 1, domainChars) << "success reports the length without terminator";
  EXPECT_EQ(result.sid.size(), sidSize);
  result.domain = domain.c_str();
  return result;
}

class AccountsGroups : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    accounts::SetUser({"RACUSER", "pw"});
  }
  void TearDown() override { velplat::faults::Clear(); }

  static NET_API_STATUS AddBySid(const char* groupName, std::vector<BYTE>& sid) {
    std::u16string group(groupName, groupName + std::strlen(groupName));
    LOCALGROUP_MEMBERS_INFO_0 member{sid.data()};
    return NetLocalGroupAddMembers(nullptr, group.c_str(), 0, reinterpret_cast<LPBYTE>(&member), 1);
  }
  static NET_API_STATUS ByName(bool add, const char16_t* group, const char16_t* name) {
    std::u16string text = name;
    LOCALGROUP_MEMBERS_INFO_3 member{text.data()};
    auto buffer = reinterpret_cast<LPBYTE>(&member);
    return add ? NetLocalGroupAddMembers(nullptr, group, 3, buffer, 1)
               : NetLocalGroupDelMembers(nullptr, group, 3, buffer, 1);
  }
};

TEST_F(AccountsGroups, AccountJoinsUsersBySidOnceThenIsAlreadyAMember) {
  auto found = LookUp("RACUSER");
  ASSERT_TRUE(found);
  EXPECT_EQ(SidTypeUser, found->use);
  EXPECT_EQ(velplat::World::Get().Local().Name(), found->domain);
  ASSERT_EQ(28u, found->sid.size()) << "S-1-5-21-x-y-z-rid";

  EXPECT_EQ(NERR_Success, AddBySid("Users", found->sid));
  EXPECT_EQ(Names{"RACUSER"}, accounts::GroupMembers("Users"));
  EXPECT_EQ(ERROR_MEMBER_IN_ALIAS, AddBySid("Users", found->sid));
  EXPECT_EQ(static_cast<DWORD>(NERR_GroupNotFound), AddBySid("Operators", found->sid));

  // The SID names this account only: after deletion it names nobody.
  ASSERT_TRUE(accounts::RemoveUser("RACUSER"));
  accounts::SetUser({"RACUSER", "pw"});
  EXPECT_EQ(ERROR_NO_SUCH_MEMBER, AddBySid("Users", found->sid));
}

TEST_F(AccountsGroups, MembersByNameMayCarryTheMachineAsDomain) {
  std::string local = velplat::World::Get().Local().Name();
  std::u16string qualified(local.begin(), local.end());
  qualified += u"\\RACUSER";

  EXPECT_EQ(NERR_Success, ByName(true, u"Users", qualified.c_str()));
  EXPECT_EQ(ERROR_MEMBER_IN_ALIAS, ByName(true, u"users", u"racuser"));
  EXPECT_EQ(ERROR_NO_SUCH_MEMBER, ByName(true, u"Users", u"OTHERHOST\\RACUSER"));
  EXPECT_EQ(ERROR_NO_SUCH_MEMBER, ByName(true, u"Users", u"NOBODY"));
  EXPECT_EQ(ERROR_INVALID_MEMBER, ByName(true, u"Users", u"Administrators")) << "groups do not nest";

  EXPECT_EQ(NERR_Success, ByName(false, u"Users", u"RACUSER"));
  EXPECT_EQ(Names{}, accounts::GroupMembers("Users"));
  EXPECT_EQ(ERROR_MEMBER_NOT_IN_ALIAS, ByName(false, u"Users", u"RACUSER"));
  EXPECT_EQ(ERROR_INVALID_LEVEL, NetLocalGroupAddMembers(nullptr, u"Users", 1, nullptr, 0));
}

TEST_F(AccountsGroups, SeveralMembersAreAddedInOrderUntilOneFails) {
  accounts::SetUser({"SECOND", "pw"});
  std::u16string first = u"RACUSER", missing = u"NOBODY", second = u"SECOND";
  LOCALGROUP_MEMBERS_INFO_3 members[] = {{first.data()}, {missing.data()}, {second.data()}};
  EXPECT_EQ(ERROR_NO_SUCH_MEMBER,
            NetLocalGroupAddMembers(nullptr, u"Users", 3, reinterpret_cast<LPBYTE>(members), 3));
  EXPECT_EQ(Names{"RACUSER"}, accounts::GroupMembers("Users"));
}

TEST_F(AccountsGroups, PrivilegeFollowsMembershipOfAdministratorsAndGuests) {
  auto privilege = [] {
    LPBYTE buffer = nullptr;
    EXPECT_EQ(NERR_Success, NetUserGetInfo(nullptr, u"RACUSER", 1, &buffer));
    DWORD priv = reinterpret_cast<USER_INFO_1*>(buffer)->usri1_priv;
    NetApiBufferFree(buffer);
    return priv;
  };
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_USER), privilege());
  ASSERT_EQ(NERR_Success, ByName(true, u"Guests", u"RACUSER"));
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_GUEST), privilege());
  ASSERT_EQ(NERR_Success, ByName(true, u"Administrators", u"RACUSER"));
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_ADMIN), privilege());

  // Setting a level-1 record must not claim another privilege.
  std::u16string name = u"RACUSER";
  USER_INFO_1 record{};
  record.usri1_name = name.data();
  record.usri1_priv = USER_PRIV_USER;
  record.usri1_flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  DWORD parmErr = 0;
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            NetUserSetInfo(nullptr, u"RACUSER", 1, reinterpret_cast<LPBYTE>(&record), &parmErr));
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_PARMNUM), parmErr);
}

TEST_F(AccountsGroups, LookupAnswersSizesThenNamesUsersAndBuiltinGroups) {
  DWORD sidSize = 4;
  DWORD domainChars = 0;
  SID_NAME_USE use;
  BYTE small[4];
  EXPECT_FALSE(LookupAccountNameA(nullptr, "RACUSER", small, &sidSize, nullptr, &domainChars, &use));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(28u, sidSize);
  EXPECT_EQ(velplat::World::Get().Local().Name().size() + 1, domainChars);

  auto users = LookUp("BUILTIN\\Users");
  ASSERT_TRUE(users);
  EXPECT_EQ(SidTypeAlias, users->use);
  EXPECT_EQ("BUILTIN", users->domain);
  EXPECT_EQ((std::vector<BYTE>{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0}), users->sid)
      << "S-1-5-32-545";

  EXPECT_FALSE(LookUp("NOBODY"));
  EXPECT_FALSE(LookupAccountNameA(nullptr, "NOBODY", nullptr, &sidSize, nullptr, &domainChars, &use));
  EXPECT_EQ(ERROR_NONE_MAPPED, GetLastError());
  EXPECT_FALSE(LookUp("OTHERHOST\\RACUSER"));

  // The same name on another machine is another account.
  velplat::Machine& nodeB = velplat::World::Get().Add("NODEB");
  accounts::SetUser({"RACUSER", "pw"}, &nodeB);
  auto remote = LookUp("RACUSER", "\\\\NODEB");
  EXPECT_FALSE(remote) << "the process identity is refused by another machine";
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  velplat::services::SetNetwork(nodeB, {true, std::chrono::milliseconds(0),
                                        velplat::services::ProcessIdentityAccess::User});
  remote = LookUp("RACUSER", "\\\\NODEB");
  auto local = LookUp("RACUSER");
  ASSERT_TRUE(remote && local);
  EXPECT_EQ("NODEB", remote->domain);
  EXPECT_NE(local->sid, remote->sid);
  EXPECT_FALSE(LookupAccountNameA("\\\\NOWHERE", "RACUSER", nullptr, &sidSize, nullptr, &domainChars, &use));
  EXPECT_EQ(RPC_S_SERVER_UNAVAILABLE, GetLastError());
}

}  // namespace
