// Logon tokens and the calling thread's identity. A token records the local
// account it was issued for, the password it was logged on with (what a
// remote machine checks in pass-through authentication) and the standing the
// account had on its machine at logon. Tokens are kernel objects, so
// CloseHandle releases their handles; an impersonating thread holds its own
// reference.
// Thread-safety: tokens are immutable; the impersonation is per thread.
#ifndef VELPLAT_SRC_SECURITY_IDENTITY_H
#define VELPLAT_SRC_SECURITY_IDENTITY_H

#include "kernel_object.h"

#include <cstddef>
#include <memory>
#include <string>

namespace velplat::security {

// What an identity may do on a machine.
enum class Standing { Refused, User, Administrator };

class Token final : public kernel::Object {
 public:
  Token(std::string machine, std::string user, std::string password, Standing standing);
  ~Token() override;

  const std::string machine;   // the machine whose account this is
  const std::string user;      // the account's name as stored
  const std::string password;  // as given at logon
  const Standing standing;     // on `machine`, fixed at logon
};

// The token the calling thread impersonates, or null (the process identity).
std::shared_ptr<const Token> ThreadToken();
// Starts impersonating `token` on the calling thread; null reverts.
void SetThreadToken(std::shared_ptr<const Token> token);
std::size_t LiveTokens();

}  // namespace velplat::security

#endif
