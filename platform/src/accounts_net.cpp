// Connecting the network management functions to their server.
#include "accounts_net.h"

#include "accounts_text.h"
#include "security_remote.h"

namespace velplat::accounts::detail {

NET_API_STATUS ConnectServer(LPCWSTR servername, Need need, Machine** machine) {
  using namespace security;
  Connection connection = Connect(Utf8FromWide(servername).value_or(""));
  switch (connection.failure) {
    case ConnectFailure::None:
      break;
    case ConnectFailure::UnknownMachine:
    case ConnectFailure::Unreachable:
      return ERROR_BAD_NETPATH;
    case ConnectFailure::Refused:
      return ERROR_ACCESS_DENIED;
  }
  if (need == Need::Change && connection.standing != Standing::Administrator) return ERROR_ACCESS_DENIED;
  *machine = connection.machine;
  return NERR_Success;
}

}  // namespace velplat::accounts::detail
