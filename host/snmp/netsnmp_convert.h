// Conversion between net-snmp's variable bindings and velmond's neutral
// values. net-snmp side only: includes net-snmp's headers, so the SDK-named
// headers must never meet this file.
//
// net-snmp's arcs are 64-bit here and the extension agent's 32-bit: OIDs are
// copied arc by arc, and a name with an arc above 2^32-1 has no neutral form.
//
// Thread-safety: pure functions over the caller's objects.
#ifndef VELMOND_NETSNMP_CONVERT_H
#define VELMOND_NETSNMP_CONVERT_H

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <optional>
#include <vector>

#include "host/neutral_types.h"

namespace velmond::netsnmp {

std::optional<Oid> FromNetsnmpOid(const oid* arcs, size_t count);
std::vector<oid> ToNetsnmpOid(const Oid& name);

// The value of a request's binding (a Set's new value); Null for types the
// agent interface has no form of.
Value FromVariable(const netsnmp_variable_list& variable);
// Writes the value into the binding; false for a kind net-snmp cannot carry.
bool SetVariableValue(netsnmp_variable_list* variable, const Value& value);

}  // namespace velmond::netsnmp

#endif
