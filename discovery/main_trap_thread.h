// The main trap thread: follows the Brennic Clusters failover database and
// keeps the watch tables in step with its nodes. Started once by start-up,
// whatever cluster software discovery finds; it ends at once on a host
// without the failover database (event 0xC00017D9).
//
// It also makes the one selection of Brennic Clusters (ClusterVendor 1) that
// the agent has: see SelectBrennicClusters.
//
// Thread-safety: the thread shares the watch tables, their counters and the
// hand-over values with the other fillers through the watch tables' lock;
// ClusterVendor is changed only by an atomic compare-exchange from 0.
#ifndef VELMON_DISCOVERY_MAIN_TRAP_THREAD_H
#define VELMON_DISCOVERY_MAIN_TRAP_THREAD_H

#include <windows.h>

namespace velmon {

// The thread procedure: FollowFailoverDatabase inside the failure frame
// named "MAIN_TRAP_THREAD". The argument is ignored.
void __cdecl MainTrapThread(void* unused);

// The thread's body. Opens the database key (a second attempt when the
// first fails; event 0xC00017D9 when both fail, and after a successful second
// attempt it ends too), selects Brennic Clusters, fills the watch tables from
// MemberTable, then refreshes and prunes them after every change below the
// database key until a change can no longer be waited for. Finally sets
// WatchTablesReady, restarts the node and address numbering at 1 and closes
// the key. Entries stay in the tables.
void FollowFailoverDatabase();

// Selects Brennic Clusters for the cluster attributes when the failover
// database has been found. Discovery itself never selects it, and on a host
// without Oracle RAC it keeps waiting for the Oracle key, so without this a
// Brennic host would answer the defaults for ever. Other cluster software
// keeps precedence: ClusterVendor goes from 0 to 1 only while it is still 0
// and the Oracle cluster manager's key, which discovery selects Oracle RAC
// for, is absent. Oracle RAC and MSCS, once discovery selects them, replace
// Brennic Clusters; Brennic Clusters never replaces them. True when this
// call selected it.
bool SelectBrennicClusters();

// The first fill from MemberTable: for every record in use a node entry
// (described from the Nodes subkey at the record's position) and an address
// entry with the record's address, and after each record and once at the end
// a cluster address entry "Cluster IP Address" with ClusterIpAddress, all
// with the same index NextClusterAddressIndex, which is not advanced. A
// cluster address entry that cannot be added ends the fill.
void FillWatchTablesFromMemberTable();

}  // namespace velmon

#endif
