/* Stand-in for the Windows SDK's <mgmtapi.h>: the one SNMP management call the
 * agent uses, text to object identifier. */
#ifndef VELPLAT_MGMTAPI_H
#define VELPLAT_MGMTAPI_H

#include <snmp.h>

/* Converts dotted-number text to an identifier whose arcs come from the SNMP
 * allocator. A leading dot makes it absolute; without it the text is taken as
 * relative to the mib-2 prefix 1.3.6.1.2.1, as on Windows. FALSE for anything
 * that is not a dotted list of decimal numbers. */
VELPLAT_API BOOL SNMP_FUNC_TYPE SnmpMgrStrToOid(LPSTR string, AsnObjectIdentifier* oid);

#endif
