// The three SNMP extension-agent entry points, the library's only exports.
#include <snmp.h>

#include "agent/request_engine.h"
#include "agent/startup.h"
#include "agent/trap_queue.h"

#define VELMON_EXPORT extern "C" __attribute__((visibility("default")))

VELMON_EXPORT BOOL SNMP_FUNC_TYPE SnmpExtensionInit(DWORD, HANDLE* phSubagentTrapEvent,
                                                   AsnObjectIdentifier* pFirstSupportedRegion) {
  return velmon::StartAgent(phSubagentTrapEvent, pFirstSupportedRegion);
}

VELMON_EXPORT BOOL SNMP_FUNC_TYPE SnmpExtensionQuery(BYTE bPduType, SnmpVarBindList* pVarBindList,
                                                    AsnInteger32* pErrorStatus, AsnInteger32* pErrorIndex) {
  return velmon::ProcessRequest(bPduType, pVarBindList, pErrorStatus, pErrorIndex);
}

VELMON_EXPORT BOOL SNMP_FUNC_TYPE SnmpExtensionTrap(AsnObjectIdentifier* pEnterpriseOid, AsnInteger32* pGenericTrapId,
                                                   AsnInteger32* pSpecificTrapId, AsnTimeticks* pTimeStamp,
                                                   SnmpVarBindList* pVarBindList) {
  return velmon::TakeTrap(pEnterpriseOid, pGenericTrapId, pSpecificTrapId, pTimeStamp, pVarBindList);
}
