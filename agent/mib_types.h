// Types shared by the MIB registry, the request engine, the marshalling
// routines and every attribute handler.
//
// A handler answers one variable for one row: it fills a value slot of the
// variable's type and returns an SNMP error status (0 noError, 2 noSuchName,
// 5 genErr; anything else is passed through unchanged). Handlers run on the
// SNMP service's request thread.
#ifndef VELMON_AGENT_MIB_TYPES_H
#define VELMON_AGENT_MIB_TYPES_H

#include <snmp.h>

namespace velmon {

using Status = AsnInteger32;

// The instance record of a request (arcs after the column, filled by the row
// routines) and the row context handed to handlers, whose arcs[0] is the row
// number (0 for the scalar groups).
struct RowIndex {
  UINT count;
  UINT* arcs;
};

// Most arcs an instance record holds.
inline constexpr UINT kMaxInstanceArcs = 255;

// Size of every text buffer of the agent; answers are cut to one less.
inline constexpr size_t kTextBufferSize = 256;
inline constexpr INT kMaxTextAnswer = 255;

// Value slot of a string handler: the handler writes at most 255 bytes into
// `buffer` (256 bytes, owned by the caller) and sets `length` to their count.
// No terminator is counted.
struct AttrString {
  INT length;
  char* buffer;
};

using IntegerHandler = Status (*)(INT* value, UINT* scratch, const RowIndex* row);
using StringHandler = Status (*)(AttrString* value, UINT* scratch, const RowIndex* row);
using ObjectIdHandler = Status (*)(AsnObjectIdentifier* value, UINT* scratch, const RowIndex* row);
// The address is an IPv4 address in network byte order, as stored.
using AddressHandler = Status (*)(DWORD* value, UINT* scratch, const RowIndex* row);

// The get handler of a variable; which member is live follows the variable's
// ASN type (and so its marshalling routine).
union AttrHandler {
  IntegerHandler integer;
  StringHandler string;
  ObjectIdHandler objectId;
  AddressHandler address;
  const void* none;
};

// SNMP error statuses used by the agent.
inline constexpr Status kNoError = SNMP_ERRORSTATUS_NOERROR;
inline constexpr Status kNoSuchName = SNMP_ERRORSTATUS_NOSUCHNAME;
inline constexpr Status kBadValue = SNMP_ERRORSTATUS_BADVALUE;
inline constexpr Status kGenErr = SNMP_ERRORSTATUS_GENERR;

}  // namespace velmon

#endif
