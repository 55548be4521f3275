// Request processing: answers each binding of a Get, GetNext or Set by
// walking the MIB registry, and signals the end of the view on GetNext.
//
// Runs on the SNMP service's request thread; keeps no state between calls.
// On any failure the binding keeps the name and value it came with.
#ifndef VELMON_AGENT_REQUEST_ENGINE_H
#define VELMON_AGENT_REQUEST_ENGINE_H

#include "agent/mib_types.h"

namespace velmon {

// The body of SnmpExtensionQuery. Always TRUE; with an empty list neither
// `errorStatus` nor `errorIndex` is written; `errorIndex` is written only when
// a binding fails (its position from 1), and the bindings after it are not
// looked at.
BOOL ProcessRequest(BYTE requestType, RFC1157VarBindList* bindings, AsnInteger32* errorStatus,
                    AsnInteger32* errorIndex);

// Answers one binding; returns its SNMP error status. On GetNext, noSuchName
// means the walk ran past the last instance of the view.
Status ProcessVarBind(RFC1157VarBind* binding, BYTE requestType);

// The group `name` falls in (0..4), or false; see the .cpp for the rules.
bool FindGroup(const AsnObjectIdentifier& name, UINT* group);

}  // namespace velmon

#endif
