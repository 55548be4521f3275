// Row routines of the three MIB tables, over the watch tables.
//
// Get/Set: `Parse*Instance` accepts the exact instance arcs of a row that
// exists (noSuchName otherwise). GetNext: `Next*Instance` gives the row after
// the one named, or 2 when the column has no further row.
// Request thread; the watch tables are read under their lock.
#ifndef VELMON_AGENT_TABLE_ROWS_H
#define VELMON_AGENT_TABLE_ROWS_H

#include "agent/mib_types.h"

namespace velmon {

// Cluster address table .1.2.8.1: one arc, the address number.
Status ParseClusterAddressInstance(const AsnObjectIdentifier* name, RowIndex* index);
Status NextClusterAddressInstance(const AsnObjectIdentifier* name, RowIndex* index);

// Node table .1.2.11.1: one arc, the node number.
Status ParseNodeInstance(const AsnObjectIdentifier* name, RowIndex* index);
Status NextNodeInstance(const AsnObjectIdentifier* name, RowIndex* index);

// Node address table .1.2.12.1: two arcs (n, s). Get needs s >= 1, s <= n,
// s != 2 and row n; GetNext steps (n, s) -> (n, s + 1), or (n + 1, 1) where
// s + 1 would be 2, and ends at the first missing row.
Status ParseNodeAddressInstance(const AsnObjectIdentifier* name, RowIndex* index);
Status NextNodeAddressInstance(const AsnObjectIdentifier* name, RowIndex* index);

}  // namespace velmon

#endif
