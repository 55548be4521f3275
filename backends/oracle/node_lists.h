// The Oracle member lists in MemberTable, the fills of the watch tables from
// them, and the thread that follows changes of the lists.
//
// ReadOracleNodeNames and the fills run on the discovery thread during
// configuration and afterwards only on the registry watcher thread.
#ifndef VELMON_BACKENDS_ORACLE_NODE_LISTS_H
#define VELMON_BACKENDS_ORACLE_NODE_LISTS_H

#include <windows.h>

#include <atomic>

namespace velmon::oracle {

// The row number the next re-fill starts from: above every node and address
// row a fill has numbered.
extern std::atomic<LONG> SavedNextNodeIndex;

// Reads PublicNodeNames and PrivateNodeNames into MemberTable. Returns the
// position of the first member whose public name changed, or -1 when none
// changed or the lists cannot be read.
int ReadOracleNodeNames();

// First fill, from position `start` (0): node, address and cluster address
// entries, then the registry watcher thread.
void FillOracleWatchTables(int start);
// Re-fill after a change: node and address entries for the members from
// `start` on, numbered after the entries already there.
void RefillOracleWatchTables(int start);

// Thread procedure: waits for changes under the cluster-manager key and
// re-fills the tables when a public name changed.
void __cdecl OracleRegistryWatcher(void* unused);

}  // namespace velmon::oracle

#endif
