// Keeping the watch tables in step with the Nodes key of the failover
// database: the refresh steps add a node entry and an address entry for
// every Nodes subkey whose name has none yet (exact, case-sensitive names,
// so a name that differs only in letter case is a new node); the prune steps
// remove every node and address entry, whoever added it, whose name no
// longer names a Nodes subkey. Cluster address entries are never pruned.
//
// A subkey whose key path would not fit the 256-byte path buffer is skipped
// by the refresh, and an entry with such a name is kept by the prune: its
// key cannot be named, so it could be neither read nor tested.
//
// Run by the main trap thread only. They lock the watch tables only around
// each table access, never across a registry or resolver call.
#ifndef VELMON_BACKENDS_BRENNIC_TABLE_SYNC_H
#define VELMON_BACKENDS_BRENNIC_TABLE_SYNC_H

namespace velmon::brennic {

void RefreshBrennicNodes();
void RefreshBrennicAddresses();
void PruneNodeTable();
void PruneAddressTable();

}  // namespace velmon::brennic

#endif
