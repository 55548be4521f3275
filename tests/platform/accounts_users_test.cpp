// Local user accounts through the network management calls: creating the
// agent account, the answer for an existing one and its reset, reading it
// back, validation, deletion, who may change accounts, other servers.
#include <lm.h>
#include <windows.h>
#include <winapi/security.h>

#include <velplat/accounts.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

namespace accounts = velplat::accounts;
using namespace std::chrono_literals;

constexpr char16_t kPassword[] = u"{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}";
constexpr char16_t kComment[] = u"DO NOT MODIFY. Built-in account for Velmora RAC Agent.";

// A level-1 record whose strings it owns.
struct Level1 {
  std::u16string name = u"RACUSER";
  std::u16string password = kPassword;
  std::u16string comment = kComment;
  USER_INFO_1 info{};

  Level1() {
    info.usri1_priv = USER_PRIV_USER;
    info.usri1_flags = UF_SCRIPT | UF_DONT_EXPIRE_PASSWD | UF_NORMAL_ACCOUNT;
  }
  LPBYTE Get() {
    info.usri1_name = name.data();
    info.usri1_password = password.data();
    info.usri1_comment = comment.data();
    return reinterpret_cast<LPBYTE>(&info);
  }
};

class AccountsUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
  }
  void TearDown() override {
    RevertToSelf();
    velplat::faults::Clear();
  }

  static bool CanLogOn(const char* user, const char* password) {
    HANDLE token = nullptr;
    if (!LogonUserA(user, ".", password, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &token)) return false;
    CloseHandle(token);
    return true;
  }
};

TEST_F(AccountsUsers, AgentAccountIsCreatedOnceThenReportedAsExisting) {
  Level1 record;
  DWORD parmErr = 77;
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), &parmErr));
  EXPECT_EQ(77u, parmErr) << "parm_err is only written for a refused member";
  EXPECT_EQ(NERR_UserExists, NetUserAdd(nullptr, 1, record.Get(), &parmErr));
  record.name = u"racuser";
  EXPECT_EQ(NERR_UserExists, NetUserAdd(nullptr, 1, record.Get(), nullptr)) << "names compare without case";

  auto stored = accounts::GetUser("RACUSER");
  ASSERT_TRUE(stored);
  EXPECT_EQ("{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}", stored->password);
  EXPECT_EQ("DO NOT MODIFY. Built-in account for Velmora RAC Agent.", stored->comment);
  EXPECT_EQ(static_cast<DWORD>(0x10201), stored->flags);
  EXPECT_GE(stored->rid, 1000u);
  EXPECT_TRUE(CanLogOn("RACUSER", "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}"));
}

TEST_F(AccountsUsers, SettingTheLevel1RecordResetsAChangedAccount) {
  Level1 record;
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  DWORD rid = accounts::GetUser("RACUSER")->rid;

  // Someone changes the password, the comment and the flags.
  std::u16string other = u"changed";
  USER_INFO_1003 password{other.data()};
  ASSERT_EQ(NERR_Success, NetUserSetInfo(nullptr, u"RACUSER", 1003, reinterpret_cast<LPBYTE>(&password), nullptr));
  USER_INFO_1008 flags{UF_SCRIPT | UF_ACCOUNTDISABLE};
  ASSERT_EQ(NERR_Success, NetUserSetInfo(nullptr, u"RACUSER", 1008, reinterpret_cast<LPBYTE>(&flags), nullptr));
  EXPECT_EQ(static_cast<DWORD>(UF_SCRIPT | UF_ACCOUNTDISABLE | UF_NORMAL_ACCOUNT), accounts::GetUser("RACUSER")->flags)
      << "flags without an account type keep the account's type";
  EXPECT_FALSE(CanLogOn("RACUSER", "changed"));

  ASSERT_EQ(NERR_Success, NetUserSetInfo(nullptr, u"RACUSER", 1, record.Get(), nullptr));
  auto reset = accounts::GetUser("RACUSER");
  ASSERT_TRUE(reset);
  EXPECT_EQ(rid, reset->rid) << "the account keeps its identity";
  EXPECT_EQ(static_cast<DWORD>(0x10201), reset->flags);
  EXPECT_TRUE(CanLogOn("RACUSER", "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}"));
  EXPECT_FALSE(CanLogOn("RACUSER", "changed"));

  EXPECT_EQ(NERR_UserNotFound, NetUserSetInfo(nullptr, u"NOBODY", 1, record.Get(), nullptr));
  EXPECT_EQ(ERROR_INVALID_LEVEL, NetUserSetInfo(nullptr, u"RACUSER", 2, record.Get(), nullptr));
}

TEST_F(AccountsUsers, GetInfoReturnsOneReleasableBlockWithoutThePassword) {
  velplat::clock::VirtualTimeScope time(5000);
  Level1 record;
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  velplat::clock::Advance(90s);

  LPBYTE buffer = nullptr;
  ASSERT_EQ(NERR_Success, NetUserGetInfo(nullptr, u"racuser", 1, &buffer));
  auto info = reinterpret_cast<USER_INFO_1*>(buffer);
  EXPECT_EQ(u"RACUSER", std::u16string(info->usri1_name));
  EXPECT_EQ(nullptr, info->usri1_password);
  EXPECT_EQ(90u, info->usri1_password_age);
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_USER), info->usri1_priv);
  EXPECT_EQ(std::u16string(kComment), info->usri1_comment);
  EXPECT_EQ(u"", std::u16string(info->usri1_home_dir));
  EXPECT_EQ(static_cast<DWORD>(0x10201), info->usri1_flags);
  EXPECT_EQ(NERR_Success, NetApiBufferFree(buffer));

  ASSERT_EQ(NERR_Success, NetUserGetInfo(nullptr, u"Administrator", 1, &buffer));
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_ADMIN), reinterpret_cast<USER_INFO_1*>(buffer)->usri1_priv);
  NetApiBufferFree(buffer);
  ASSERT_EQ(NERR_Success, NetUserGetInfo(nullptr, u"Guest", 0, &buffer));
  EXPECT_EQ(u"Guest", std::u16string(reinterpret_cast<USER_INFO_0*>(buffer)->usri0_name));
  NetApiBufferFree(buffer);

  EXPECT_EQ(NERR_UserNotFound, NetUserGetInfo(nullptr, u"NOBODY", 1, &buffer));
  EXPECT_EQ(ERROR_INVALID_LEVEL, NetUserGetInfo(nullptr, u"RACUSER", 3, &buffer));
  EXPECT_EQ(NERR_Success, NetApiBufferFree(nullptr));
}

TEST_F(AccountsUsers, AddRefusesMalformedRecordsNamingTheMember) {
  Level1 record;
  DWORD parmErr = 0;
  record.info.usri1_priv = USER_PRIV_ADMIN;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, NetUserAdd(nullptr, 1, record.Get(), &parmErr));
  EXPECT_EQ(static_cast<DWORD>(USER_PRIV_PARMNUM), parmErr);

  record.info.usri1_priv = USER_PRIV_USER;
  record.info.usri1_flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_SERVER_TRUST_ACCOUNT;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, NetUserAdd(nullptr, 1, record.Get(), &parmErr));
  EXPECT_EQ(static_cast<DWORD>(USER_FLAGS_PARMNUM), parmErr);

  record.info.usri1_flags = UF_SCRIPT;
  record.name = u"";
  EXPECT_EQ(ERROR_INVALID_PARAMETER, NetUserAdd(nullptr, 1, record.Get(), &parmErr));
  EXPECT_EQ(static_cast<DWORD>(USER_NAME_PARMNUM), parmErr);

  record.name = u"BAD/NAME";
  EXPECT_EQ(static_cast<DWORD>(NERR_BadUsername), NetUserAdd(nullptr, 1, record.Get(), nullptr));
  record.name = u"Users";
  EXPECT_EQ(static_cast<DWORD>(NERR_GroupExists), NetUserAdd(nullptr, 1, record.Get(), nullptr));
  record.name = u"RACUSER";
  EXPECT_EQ(ERROR_INVALID_LEVEL, NetUserAdd(nullptr, 2, record.Get(), nullptr));
  EXPECT_FALSE(accounts::GetUser("RACUSER"));

  accounts::SetMinimumPasswordLength(40);
  EXPECT_EQ(static_cast<DWORD>(NERR_PasswordTooShort), NetUserAdd(nullptr, 1, record.Get(), nullptr));
  accounts::SetMinimumPasswordLength(8);
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  EXPECT_EQ(static_cast<DWORD>(UF_SCRIPT | UF_NORMAL_ACCOUNT), accounts::GetUser("RACUSER")->flags)
      << "a record without an account type makes a normal account";
  std::u16string shortPassword = u"short";
  USER_INFO_1003 password{shortPassword.data()};
  EXPECT_EQ(static_cast<DWORD>(NERR_PasswordTooShort),
            NetUserSetInfo(nullptr, u"RACUSER", 1003, reinterpret_cast<LPBYTE>(&password), nullptr));
}

TEST_F(AccountsUsers, DeleteRemovesTheAccountAndItsMemberships) {
  Level1 record;
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  ASSERT_TRUE(accounts::AddGroupMember("Users", "RACUSER"));

  EXPECT_EQ(NERR_Success, NetUserDel(nullptr, u"racuser"));
  EXPECT_FALSE(accounts::GetUser("RACUSER"));
  EXPECT_EQ(std::vector<std::string>{}, accounts::GroupMembers("Users"));
  EXPECT_EQ(NERR_UserNotFound, NetUserDel(nullptr, u"RACUSER"));
  EXPECT_EQ(ERROR_SPECIAL_ACCOUNT, NetUserDel(nullptr, u"Administrator"));

  // A new account of the old name is a new identity.
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  EXPECT_EQ(std::vector<std::string>{}, accounts::GroupMembers("Users"));
}

TEST_F(AccountsUsers, OnlyAdministratorsChangeAccountsButAnyoneReads) {
  accounts::SetUser({"PLAIN", "pw"});
  accounts::SetUser({"BOSS", "pw"});
  ASSERT_TRUE(accounts::AddGroupMember("Administrators", "BOSS"));
  Level1 record;

  HANDLE plain = nullptr;
  ASSERT_TRUE(LogonUserA("PLAIN", ".", "pw", LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &plain));
  ASSERT_TRUE(ImpersonateLoggedOnUser(plain));
  EXPECT_EQ(ERROR_ACCESS_DENIED, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, NetUserDel(nullptr, u"BOSS"));
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NERR_Success, NetUserGetInfo(nullptr, u"BOSS", 0, &buffer));
  NetApiBufferFree(buffer);
  RevertToSelf();
  CloseHandle(plain);

  HANDLE boss = nullptr;
  ASSERT_TRUE(LogonUserA("BOSS", ".", "pw", LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &boss));
  ASSERT_TRUE(ImpersonateLoggedOnUser(boss));
  EXPECT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  RevertToSelf();
  CloseHandle(boss);
}

TEST_F(AccountsUsers, OtherServersAnswerAsTheNetworkAllows) {
  velplat::Machine& nodeB = velplat::World::Get().Add("NODEB");
  Level1 record;
  EXPECT_EQ(ERROR_BAD_NETPATH, NetUserAdd(u"\\\\NOWHERE", 1, record.Get(), nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, NetUserAdd(u"\\\\NODEB", 1, record.Get(), nullptr))
      << "the process identity has no network credentials";

  velplat::services::SetNetwork(nodeB, {true, 0ms, velplat::services::ProcessIdentityAccess::Administrator});
  ASSERT_EQ(NERR_Success, NetUserAdd(u"\\\\NODEB", 1, record.Get(), nullptr));
  EXPECT_TRUE(accounts::GetUser("RACUSER", &nodeB));
  EXPECT_FALSE(accounts::GetUser("RACUSER"));

  velplat::services::SetNetwork(nodeB, {false, 0ms, velplat::services::ProcessIdentityAccess::Administrator});
  EXPECT_EQ(ERROR_BAD_NETPATH, NetUserDel(u"NODEB", u"RACUSER"));
}

TEST_F(AccountsUsers, ArmedFailuresAreReturnedUnchanged) {
  Level1 record;
  velplat::faults::FailCall("NetUserAdd", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ERROR_ACCESS_DENIED, NetUserAdd(nullptr, 1, record.Get(), nullptr));
  EXPECT_FALSE(accounts::GetUser("RACUSER"));
  ASSERT_EQ(NERR_Success, NetUserAdd(nullptr, 1, record.Get(), nullptr));

  velplat::faults::FailCall("NetUserDel", NERR_UserNotFound);
  EXPECT_EQ(NERR_UserNotFound, NetUserDel(nullptr, u"RACUSER"));
  EXPECT_TRUE(accounts::GetUser("RACUSER"));

  velplat::faults::FailCall("NetApiBufferAllocate", ERROR_NOT_ENOUGH_MEMORY);
  LPBYTE buffer = nullptr;
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, NetUserGetInfo(nullptr, u"RACUSER", 1, &buffer));
  EXPECT_EQ(nullptr, buffer);
}

}  // namespace
