// The MSCS picture of the cluster that discovery builds the watch tables
// from: the local node's identifier, the member table (one record per node
// with its identifier's first character and its name), the node names and
// descriptions row by row.
//
// Thread-safety: the writers run on the discovery thread. LocalNodeId is
// read by the request thread; both sides take LockMemberTable() around it,
// as around MemberTable.
#ifndef VELMON_BACKENDS_MSCS_CLUSTER_MODEL_H
#define VELMON_BACKENDS_MSCS_CLUSTER_MODEL_H

#include "agent/mib_types.h"

#include <windows.h>

namespace velmon::mscs {

// The local node's identifier: its first character, terminated; empty until
// ReadLocalNodeId succeeds.
extern char LocalNodeId[4];

// The name of node row arcs[0] (0-based) as in a MIB string handler: at most
// 255 characters, no terminator counted; length 0 when there is no such
// node. Status 0.
Status GetMscsNodeName(AttrString* value, UINT* scratch, const RowIndex* row);

// "Cluster Members" into `description` for every position; sets
// PendingNodeState to the default node state (1) and returns it.
LONG LoadNodeDescription(char (&description)[kTextBufferSize], int position);

// LocalNodeId from the cluster; unchanged when the identifier cannot be read.
void ReadLocalNodeId();

// MemberTable from the cluster's nodes in enumeration order (at most 255),
// ended by a record with memberNumber 0. Untouched when the cluster or its
// node enumeration cannot be had.
void FillMscsMemberTable();

}  // namespace velmon::mscs

#endif
