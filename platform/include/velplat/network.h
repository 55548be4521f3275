// C++ control of name resolution in the simulated world, for tests and the
// host daemon: which addresses each machine answers with, further host names
// and their addresses, names whose resolution fails, and the state of the
// sockets library.
//
// Addresses are dotted texts "a.b.c.d" (four decimal parts); a setter given
// one that is not returns false and changes nothing. A null `machine` means
// the world's local machine.
//
// gethostbyname answers a name from, in this order: a host entry of that
// name (SetHostEntry, SetHostFailure), the machine of that name if its
// addresses were set (SetMachineAddresses; a machine without them is unknown
// to the resolver), and "localhost" as 127.0.0.1. A null or empty name asks
// for the local machine. Host entries are kept with the machine that was
// local when they were set (or the one given); every machine's entries are
// visible to every lookup, the machines taken in name order, so the entries
// of the world outlive a change of the local machine and go with
// World::Reset.
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_NETWORK_H
#define VELPLAT_NETWORK_H

#include <string>
#include <string_view>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::network {

// The machine answers with these addresses, in this order; an empty list
// makes it answer with an entry that has no address.
bool SetMachineAddresses(const std::vector<std::string>& addresses, Machine* machine = nullptr);
// The machine becomes unknown to the resolver again.
void ClearMachineAddresses(Machine* machine = nullptr);

// `name` answers with these addresses (an empty list: an entry without
// address), replacing what it answered before.
bool SetHostEntry(std::string_view name, const std::vector<std::string>& addresses, Machine* owner = nullptr);
// Resolving `name` fails with `wsaError` (WSAHOST_NOT_FOUND, WSATRY_AGAIN,
// WSANO_RECOVERY, WSANO_DATA) until the entry is removed or replaced.
void SetHostFailure(std::string_view name, int wsaError, Machine* owner = nullptr);
// Removes the host entry of `name` from every machine.
void RemoveHostEntry(std::string_view name);

// Start-ups of the sockets library not yet ended by a clean-up, process-wide.
int WinsockStartups();

}  // namespace velplat::network

#endif
