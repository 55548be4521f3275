// Conversion between the neutral values of velmond and the extension-agent
// interface's AsnAny and AsnObjectIdentifier. SDK side only: includes the
// SDK-named <snmp.h>, so net-snmp headers must never meet this file.
//
// Memory handed to the agent comes from SnmpUtilMemAlloc, so that the agent
// may free or replace it as the SNMP service's allocator contract says.
//
// Thread-safety: pure functions.
#ifndef VELMOND_SDK_CONVERT_H
#define VELMOND_SDK_CONVERT_H

#include <snmp.h>

#include "host/neutral_types.h"

namespace velmond::sdk {

// False when the SNMP allocator fails; `out` is then empty.
bool ToSdkOid(const Oid& oid, AsnObjectIdentifier* out);
Oid FromSdkOid(const AsnObjectIdentifier& oid);

// False when the SNMP allocator fails or the kind has no SDK form; `out` is
// then ASN_NULL.
bool ToSdkValue(const Value& value, AsnAny* out);
// A type the host does not know becomes ValueKind::Null.
Value FromSdkValue(const AsnAny& value);

}  // namespace velmond::sdk

#endif
