// The agent's MIB as constant data: five groups, each with an array of
// variable records indexed by variable (column) number. The request engine
// walks these tables and never names a variable.
//
// All data here is constant and may be read from any thread.
#ifndef VELMON_AGENT_MIB_REGISTRY_H
#define VELMON_AGENT_MIB_REGISTRY_H

#include "agent/mib_types.h"

#include <span>

namespace velmon {

enum Access : UINT { kReadOnly = 0, kWriteOnly = 1, kReadWrite = 2, kNotAccessible = 3 };

// Fills the binding's value from the handler of (group, variable) for `row`.
using MarshalFn = Status (*)(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row);
// Checks the instance part of a Get/Set name and fills `index`.
using ParseInstanceFn = Status (*)(const AsnObjectIdentifier* name, RowIndex* index);
// For a table: the row after the one `name` names, into `index`; 2 when none.
using NextInstanceFn = Status (*)(const AsnObjectIdentifier* name, RowIndex* index);
// Turns an instance record into the row context handed to handlers.
using LoadRowFn = BOOL (*)(const RowIndex* index, RowIndex* row);
using FreeRowFn = void (*)(RowIndex* row);

struct MibVariable {
  AsnObjectIdentifier oid;  // for a column: the column OID without index
  BYTE asnType;
  UINT access;
  AttrHandler getHandler;
  AttrHandler setHandler;
  MarshalFn getMarshal;
  MarshalFn setMarshal;
};

struct MibGroup {
  UINT isTable;
  AsnObjectIdentifier groupOid;  // for a table: the entry OID (table OID + arc 1)
  UINT variableOidLength;        // arc position (from 1) of the variable number
  UINT firstVariable;
  UINT lastVariable;
  ParseInstanceFn parseInstance;
  NextInstanceFn nextInstance;
  LoadRowFn loadRow;
  FreeRowFn freeRow;
  const MibVariable* variables;
  UINT variableCount;  // elements in `variables`
};

inline constexpr UINT kGroupCount = 5;
inline constexpr UINT kViewArcCount = 12;

// The agent's view 1.3.6.1.4.1.32473.2.18.22.4.1 (static arcs).
const AsnObjectIdentifier& MibView();
// The five groups in MIB order (the order GetNext walks them).
std::span<const MibGroup, kGroupCount> MibGroups();

// Group indexes.
inline constexpr UINT kGroupAgent = 0;           // .1.1
inline constexpr UINT kGroupCluster = 1;         // .1.2
inline constexpr UINT kGroupClusterAddress = 2;  // .1.2.8.1
inline constexpr UINT kGroupNode = 3;            // .1.2.11.1
inline constexpr UINT kGroupNodeAddress = 4;     // .1.2.12.1

// The variable record of `variable` in `group`, or null when the group's
// array has no such element. In group .1.2 the variable with arc 9 is stored
// as element 8 (arc 8 there is the cluster address table); `ForRequest`
// applies that mapping, `Element` indexes the array directly.
const MibVariable* MibElement(UINT group, UINT element);
const MibVariable* MibVariableForRequest(UINT group, UINT variable);

inline bool IsReadable(const MibVariable* v) {
  return v && (v->access == kReadOnly || v->access == kReadWrite);
}
inline bool IsWritable(const MibVariable* v) {
  return v && (v->access == kWriteOnly || v->access == kReadWrite);
}

}  // namespace velmon

#endif
