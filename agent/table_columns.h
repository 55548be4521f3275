// Column handlers of the three MIB tables. Each looks up row arcs[0] of its
// row context in the matching watch table and answers the entry's field, or
// the column's empty value (0, empty text) when the row has gone meanwhile.
// Request thread.
#ifndef VELMON_AGENT_TABLE_COLUMNS_H
#define VELMON_AGENT_TABLE_COLUMNS_H

#include "agent/mib_types.h"

namespace velmon {

Status GetClusterAddressNumber(INT* value, UINT* scratch, const RowIndex* row);
Status GetClusterAddress(DWORD* value, UINT* scratch, const RowIndex* row);

Status GetNodeNumber(INT* value, UINT* scratch, const RowIndex* row);
Status GetNodeName(AttrString* value, UINT* scratch, const RowIndex* row);
Status GetNodeDescription(AttrString* value, UINT* scratch, const RowIndex* row);
// Oracle RAC answers the live state of the member's cluster manager; every
// other cluster software the state stored in the entry (1 when absent).
Status GetNodeState(INT* value, UINT* scratch, const RowIndex* row);

Status GetNodeAddressState(INT* value, UINT* scratch, const RowIndex* row);
Status GetNodeAddress(DWORD* value, UINT* scratch, const RowIndex* row);

}  // namespace velmon

#endif
