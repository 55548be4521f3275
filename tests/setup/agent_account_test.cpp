// The agent's account: a first installation creates it with the password the
// agent logs on with and puts it in "Users"; a reinstallation resets an
// existing account in place; refusals to add or reset it are surfaced while a
// missing "Users" group is not; removal tolerates a missing account; an
// exhausted heap fails both operations.
#include "setup/agent_account.h"
#include "setup/support/setup_fixture.h"

#include <velplat/accounts.h>
#include <velplat/faults.h>

#include <lm.h>

namespace velsetup::test {
namespace {

namespace accounts = velplat::accounts;
using ::testing::ElementsAre;

constexpr char kPassword[] = "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}";
constexpr char kComment[] = "DO NOT MODIFY. Built-in account for Velmora RAC Agent.";
constexpr DWORD kFlags = 0x10001 | UF_NORMAL_ACCOUNT;

class AgentAccount : public SetupTest {};

std::vector<std::string> UsersMembers() { return accounts::GroupMembers("Users").value_or(std::vector<std::string>{}); }

TEST_F(AgentAccount, FirstInstallationCreatesTheAccountTheAgentLogsOnWith) {
  ASSERT_TRUE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));

  auto user = accounts::GetUser("RACUSER");
  ASSERT_TRUE(user);
  EXPECT_EQ(kPassword, user->password);
  EXPECT_EQ(kComment, user->comment);
  EXPECT_EQ(kFlags, user->flags);
  EXPECT_EQ("", user->homeDir);
  EXPECT_THAT(UsersMembers(), ElementsAre("RACUSER"));

  HANDLE token = nullptr;
  ASSERT_TRUE(LogonUserA("RACUSER", ".", kPassword, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &token));
  CloseHandle(token);
}

TEST_F(AgentAccount, ReinstallationResetsTheExistingAccountInPlace) {
  accounts::UserInfo changed;
  changed.name = "RACUSER";
  changed.password = "someone changed it";
  changed.comment = "edited";
  changed.flags = UF_SCRIPT | UF_NORMAL_ACCOUNT;
  accounts::SetUser(changed);
  accounts::AddGroupMember("Users", "RACUSER");
  const DWORD rid = accounts::GetUser("RACUSER")->rid;

  ASSERT_TRUE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));

  auto user = accounts::GetUser("RACUSER");
  EXPECT_EQ(rid, user->rid) << "same account, same identity";
  EXPECT_EQ(kPassword, user->password);
  EXPECT_EQ(kComment, user->comment);
  EXPECT_EQ(kFlags, user->flags);
  EXPECT_THAT(UsersMembers(), ElementsAre("RACUSER")) << "already a member is fine";
}

TEST_F(AgentAccount, RefusalsToAddOrResetAreSurfacedButAMissingUsersGroupIsNot) {
  EXPECT_FALSE(CreateAgentAccount(nullptr, "RACUSER", 0x0100));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_FALSE(accounts::GetUser("RACUSER"));

  accounts::SetMinimumPasswordLength(64);
  EXPECT_FALSE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));
  EXPECT_EQ(static_cast<DWORD>(NERR_PasswordTooShort), GetLastError());
  accounts::SetUser({"RACUSER", "old"});
  EXPECT_FALSE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));
  EXPECT_EQ(static_cast<DWORD>(NERR_PasswordTooShort), GetLastError());
  EXPECT_EQ("old", accounts::GetUser("RACUSER")->password);

  accounts::SetMinimumPasswordLength(0);
  accounts::RemoveUser("RACUSER");
  ASSERT_TRUE(accounts::RemoveGroup("Users"));
  EXPECT_TRUE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));
  EXPECT_TRUE(accounts::GetUser("RACUSER"));
}

TEST_F(AgentAccount, RemovalDeletesTheAccountAndToleratesItsAbsence) {
  ASSERT_TRUE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));
  EXPECT_TRUE(DeleteAgentAccount(nullptr, "RACUSER"));
  EXPECT_FALSE(accounts::GetUser("RACUSER"));
  EXPECT_TRUE(UsersMembers().empty());
  EXPECT_TRUE(DeleteAgentAccount(nullptr, "RACUSER"));
  EXPECT_TRUE(DeleteAgentAccount(nullptr, ""));
  EXPECT_TRUE(DeleteAgentAccount(nullptr, nullptr));
}

TEST_F(AgentAccount, NamesReachTheAccountDatabaseIntactOrNotAtAll) {
  // Non-ASCII names survive the conversion to UTF-16 and back.
  ASSERT_TRUE(CreateAgentAccount(nullptr, "J\xC3\xBCrgen\xF0\x9F\x94\x91", UF_NORMAL_ACCOUNT));
  EXPECT_TRUE(accounts::GetUser("J\xC3\xBCrgen\xF0\x9F\x94\x91"));

  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc);
  EXPECT_FALSE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_FALSE(accounts::GetUser("RACUSER"));

  ASSERT_TRUE(CreateAgentAccount(nullptr, "RACUSER", UF_NORMAL_ACCOUNT));
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc);
  EXPECT_FALSE(DeleteAgentAccount(nullptr, "RACUSER"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_TRUE(accounts::GetUser("RACUSER"));
}

}  // namespace
}  // namespace velsetup::test
