// Connecting the calling thread to a machine of the world, as every remote
// call of the platform does first: resolve the name, fail on an unreachable
// machine after its connection time (a Sleep on the platform clock), and
// authenticate the thread's identity there.
//
// The local machine accepts every identity: the process identity as an
// administrator, a token with the standing it got at logon. A remote machine
// accepts a token through pass-through authentication (an enabled account of
// the same name with the token's password) and the process identity as its
// network settings say.
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_SRC_SECURITY_REMOTE_H
#define VELPLAT_SRC_SECURITY_REMOTE_H

#include "security_identity.h"

#include <velplat/services.h>
#include <velplat/world.h>

#include <string_view>

namespace velplat::security {

enum class ConnectFailure { None, UnknownMachine, Unreachable, Refused };
enum class Locality { Local, Remote };

struct Connection {
  ConnectFailure failure = ConnectFailure::None;
  Machine* machine = nullptr;
  Locality locality = Locality::Local;
  Standing standing = Standing::Refused;
};

// `name` as the Win32 functions take it: "" (or a null pointer, which the
// callers turn into "") for the local machine, "\\NAME" or "NAME".
Connection Connect(std::string_view name);

// The standing of the calling thread's identity on `machine`.
Standing StandingOn(Machine& machine, Locality locality);

// False once a remote machine has become unreachable: calls over connections
// made earlier fail then.
bool Reachable(Machine& machine);

}  // namespace velplat::security

#endif
