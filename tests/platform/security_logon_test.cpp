// Logon of local accounts and per-thread impersonation: which credentials
// are accepted, what the calling thread runs as, token lifetime.
#include <windows.h>
#include <winapi/security.h>

#include <velplat/accounts.h>
#include <velplat/faults.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

namespace {

namespace accounts = velplat::accounts;

constexpr const char* kPassword = "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}";

class SecurityLogon : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    accounts::SetUser({"RACUSER", kPassword});
  }
  void TearDown() override {
    RevertToSelf();
    velplat::faults::Clear();
  }

  static DWORD LogonError(const char* user, const char* domain, const char* password,
                          DWORD type = LOGON32_LOGON_INTERACTIVE, DWORD provider = LOGON32_PROVIDER_DEFAULT) {
    HANDLE token = nullptr;
    if (LogonUserA(user, domain, password, type, provider, &token)) {
      CloseHandle(token);
      return ERROR_SUCCESS;
    }
    EXPECT_EQ(nullptr, token);
    return GetLastError();
  }

  static HANDLE Logon() {
    HANDLE token = nullptr;
    EXPECT_TRUE(LogonUserA("RACUSER", ".", kPassword, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &token));
    return token;
  }
};

TEST_F(SecurityLogon, LocalAccountLogsOnOnlyWithItsExactPassword) {
  std::string local = velplat::World::Get().Local().Name();
  EXPECT_EQ(ERROR_SUCCESS, LogonError("RACUSER", ".", kPassword));
  EXPECT_EQ(ERROR_SUCCESS, LogonError("racuser", nullptr, kPassword));
  EXPECT_EQ(ERROR_SUCCESS, LogonError("RACUSER", local.c_str(), kPassword));

  // Passwords are case-sensitive.
  EXPECT_EQ(ERROR_LOGON_FAILURE, LogonError("RACUSER", ".", "{3c1f5e92-7b40-4d1a-9e27-c48b0d6a5f13}"));
  EXPECT_EQ(ERROR_LOGON_FAILURE, LogonError("RACUSER", ".", ""));
  EXPECT_EQ(ERROR_LOGON_FAILURE, LogonError("NOSUCHUSER", ".", kPassword));
  EXPECT_EQ(ERROR_LOGON_FAILURE, LogonError("RACUSER", "OTHERDOMAIN", kPassword));
}

TEST_F(SecurityLogon, DisabledAccountsAndUnsupportedLogonKindsAreRefused) {
  accounts::SetUser({"LOCKED", "pw", "", "", "", UF_SCRIPT | UF_NORMAL_ACCOUNT | UF_ACCOUNTDISABLE});
  EXPECT_EQ(ERROR_ACCOUNT_DISABLED, LogonError("LOCKED", ".", "pw"));
  EXPECT_EQ(ERROR_LOGON_FAILURE, LogonError("LOCKED", ".", "wrong"));

  EXPECT_EQ(ERROR_INVALID_PARAMETER, LogonError("RACUSER", ".", kPassword, 7));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, LogonError("RACUSER", ".", kPassword, LOGON32_LOGON_INTERACTIVE, 9));
  EXPECT_EQ(ERROR_SUCCESS, LogonError("RACUSER", ".", kPassword, LOGON32_LOGON_NETWORK));
  EXPECT_FALSE(LogonUserA("RACUSER", ".", kPassword, LOGON32_LOGON_INTERACTIVE, 0, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(SecurityLogon, ImpersonationBelongsToTheCallingThreadUntilItReverts) {
  HANDLE token = Logon();
  ASSERT_NE(nullptr, token);
  EXPECT_EQ(std::nullopt, accounts::ImpersonatedUser());

  ASSERT_TRUE(ImpersonateLoggedOnUser(token));
  std::string expected = velplat::World::Get().Local().Name() + "\\RACUSER";
  EXPECT_EQ(expected, accounts::ImpersonatedUser());

  std::optional<std::string> seenByOtherThread = "unset";
  std::thread other([&] { seenByOtherThread = accounts::ImpersonatedUser(); });
  other.join();
  EXPECT_EQ(std::nullopt, seenByOtherThread);

  // Another thread's impersonation does not touch this one.
  std::thread impersonating([token] {
    EXPECT_TRUE(ImpersonateLoggedOnUser(token));
    EXPECT_TRUE(RevertToSelf());
  });
  impersonating.join();
  EXPECT_EQ(expected, accounts::ImpersonatedUser());

  EXPECT_TRUE(RevertToSelf());
  EXPECT_EQ(std::nullopt, accounts::ImpersonatedUser());
  EXPECT_TRUE(RevertToSelf()) << "reverting without an impersonation succeeds";
  EXPECT_TRUE(CloseHandle(token));
}

TEST_F(SecurityLogon, TokenLivesWhileAHandleOrAnImpersonationHoldsIt) {
  ASSERT_EQ(0u, accounts::LiveTokenCount());
  HANDLE token = Logon();
  ASSERT_TRUE(ImpersonateLoggedOnUser(token));
  ASSERT_TRUE(CloseHandle(token));
  EXPECT_EQ(1u, accounts::LiveTokenCount());
  EXPECT_TRUE(accounts::ImpersonatedUser().has_value()) << "closing the handle does not end the impersonation";

  EXPECT_FALSE(CloseHandle(token));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(ImpersonateLoggedOnUser(token));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

  ASSERT_TRUE(RevertToSelf());
  EXPECT_EQ(0u, accounts::LiveTokenCount());
}

TEST_F(SecurityLogon, OnlyTokensCanBeImpersonated) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, event);
  EXPECT_FALSE(ImpersonateLoggedOnUser(event));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_EQ(std::nullopt, accounts::ImpersonatedUser());
  CloseHandle(event);
}

TEST_F(SecurityLogon, ArmedFailuresReachEachCall) {
  velplat::faults::FailCall("LogonUserA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, LogonError("RACUSER", ".", kPassword));

  HANDLE token = Logon();
  velplat::faults::FailCall("ImpersonateLoggedOnUser", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ImpersonateLoggedOnUser(token));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ(std::nullopt, accounts::ImpersonatedUser());

  ASSERT_TRUE(ImpersonateLoggedOnUser(token));
  velplat::faults::FailCall("RevertToSelf", ERROR_INVALID_HANDLE);
  EXPECT_FALSE(RevertToSelf());
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_TRUE(accounts::ImpersonatedUser().has_value());
  CloseHandle(token);
}

}  // namespace
