// Addresses of the Oracle members: private names through the HOSTS file,
// public names through the resolver. Both write MemberTable.
//
// Run on the discovery thread during configuration and later on the
// registry watcher thread; never both at once.
#ifndef VELMON_BACKENDS_ORACLE_HOST_RESOLUTION_H
#define VELMON_BACKENDS_ORACLE_HOST_RESOLUTION_H

#include <windows.h>

namespace velmon::oracle {

// Parses %SystemRoot%\System32\drivers\etc\hosts (C:\WinNT when SystemRoot
// is unset) and stores each line's address in the member whose private name
// the line names; the last valid line wins. A missing file is reported on
// standard output only.
void LoadHostsFileAddresses();

// Resolves the public names of the members from `start` on (until an empty
// public name) into their public addresses; 0.0.0.0 for a name that does
// not resolve.
void ResolvePublicAddresses(DWORD start);

}  // namespace velmon::oracle

#endif
