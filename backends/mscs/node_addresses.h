// The members' IPv4 addresses from the cluster database in the registry:
// the subnet mask of an IP address resource selects a cluster network, and
// that network's interfaces give the addresses of the nodes they belong to.
// Thread-safety: the discovery thread (the member records are written under
// LockMemberTable()).
#ifndef VELMON_BACKENDS_MSCS_NODE_ADDRESSES_H
#define VELMON_BACKENDS_MSCS_NODE_ADDRESSES_H

#include <windows.h>

namespace velmon::mscs {

// Sets the address of every member an interface on the selected network
// names; a member that no interface matches keeps its address. Returns the
// result of the last registry call (no caller uses it).
LONG ResolveMscsNodeAddresses();

}  // namespace velmon::mscs

#endif
