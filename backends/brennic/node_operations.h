// The Brennic Clusters node operations that fill the watch tables: a node's
// comment and description, the position of a node among the Nodes subkeys,
// and a node's address. Positions are 0-based, in the registry's enumeration
// order of the Nodes subkeys.
//
// Each call opens and closes its own keys and keeps no state. The operations
// run on the main trap thread (and the position search also on request
// threads); LoadNodeDescription and ResolveBrennicNodeAddress write the
// hand-over values PendingNodeState and PendingNodeAddress and also return
// what they leave there, for the Add*With* calls that follow them.
#ifndef VELMON_BACKENDS_BRENNIC_NODE_OPERATIONS_H
#define VELMON_BACKENDS_BRENNIC_NODE_OPERATIONS_H

#include "agent/mib_types.h"

namespace velmon::brennic {

// The "Comment" of the node at position row->arcs[0], read from its Global
// key: at most value->length bytes (and at most 255) copied into
// value->buffer as the registry reports them, terminator included, and
// value->length set to their count. Without a node, a Global key or a
// comment, nothing is copied and value->length is left alone. Always 0.
Status GetBrennicNodeComment(AttrString* value, UINT* scratch, const RowIndex* row);

// The description of the node at `position` (its comment, or the empty text)
// into `description`, terminated. Every node is in state 1: that state is
// stored in PendingNodeState and returned.
LONG LoadNodeDescription(char (&description)[kTextBufferSize], int position);

// The address of the node `name`: the first address the resolver gives for
// the Nodes subkey that names it (0.0.0.0 when the name does not resolve).
// A subkey names it when it equals `name` without regard to case; failing
// that, when `name` begins with it. When the Nodes key cannot be opened the
// local host's name is resolved; when no subkey names the node, the address
// is 0.0.0.0. When the sockets library cannot be started or the host has no
// address, PendingNodeAddress stays as it is. Returns PendingNodeAddress as
// this call leaves it (network byte order).
DWORD ResolveBrennicNodeAddress(const char* name);

// The position of the first Nodes subkey named `name` (without regard to
// case), or -1 when there is none or no Nodes key.
int FindBrennicNodePosition(const char* name);

}  // namespace velmon::brennic

#endif
