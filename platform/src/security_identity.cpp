// Logon tokens and per-thread impersonation.
#include "security_identity.h"

#include <velplat/accounts.h>

#include <atomic>

namespace velplat::security {
namespace {
std::atomic<std::size_t> liveTokens{0};
thread_local std::shared_ptr<const Token> threadToken;
}  // namespace

Token::Token(std::string machineName, std::string userName, std::string logonPassword, Standing accountStanding)
    : machine(std::move(machineName)),
      user(std::move(userName)),
      password(std::move(logonPassword)),
      standing(accountStanding) {
  ++liveTokens;
}

Token::~Token() { --liveTokens; }

std::shared_ptr<const Token> ThreadToken() { return threadToken; }

void SetThreadToken(std::shared_ptr<const Token> token) { threadToken = std::move(token); }

std::size_t LiveTokens() { return liveTokens.load(); }

}  // namespace velplat::security

namespace velplat::accounts {

std::optional<std::string> ImpersonatedUser() {
  auto token = security::ThreadToken();
  if (!token) return std::nullopt;
  return token->machine + "\\" + token->user;
}

std::size_t LiveTokenCount() { return security::LiveTokens(); }

}  // namespace velplat::accounts
