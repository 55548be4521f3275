// Value marshalling: one routine per ASN type that calls the variable's
// handler with a value slot of the right shape and writes the answer into the
// binding, with value memory from the SNMP allocator. Plus the row routines
// shared by all groups: loadRow / freeRow.
//
// Request thread only. A non-zero handler status is returned unchanged and the
// binding's value is left as it was.
#ifndef VELMON_AGENT_MARSHAL_H
#define VELMON_AGENT_MARSHAL_H

#include "agent/mib_types.h"

namespace velmon {

Status MarshalInteger(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row);
Status MarshalOctetString(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row);
Status MarshalObjectId(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row);
Status MarshalIpAddress(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row);

// Row context = one arc, the instance record's first arc, in an array from the
// runtime heap. FALSE when that cannot be allocated.
BOOL LoadRow(const RowIndex* index, RowIndex* row);
// Releases what LoadRow allocated and empties the context.
void FreeRow(RowIndex* row);

}  // namespace velmon

#endif
