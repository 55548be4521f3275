// The common first step of the network management functions: connect to the
// server named (null or empty: the local machine) and check that the caller
// may read or change its accounts, with the status codes those functions
// report.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_ACCOUNTS_NET_H
#define VELPLAT_SRC_ACCOUNTS_NET_H

#include <lm.h>
#include <velplat/world.h>

namespace velplat::accounts::detail {

enum class Need { Read, Change };

// NERR_Success with *machine set, ERROR_BAD_NETPATH or ERROR_ACCESS_DENIED.
NET_API_STATUS ConnectServer(LPCWSTR servername, Need need, Machine** machine);

}  // namespace velplat::accounts::detail

#endif
