/*
 * Stand-in for the Windows SDK's <snmp.h>: the SNMP extension-agent types,
 * constants and the SNMP utility library (SnmpUtil*). Structures use the SDK's
 * 4-byte packing so that their layout matches what extension agents expect.
 */
#ifndef VELPLAT_SNMP_H
#define VELPLAT_SNMP_H

#include <windows.h>

#pragma pack(push, 4)

typedef struct {
  BYTE* stream;
  UINT length;
  BOOL dynamic;
} AsnOctetString;

typedef struct {
  UINT idLength;
  UINT* ids;
} AsnObjectIdentifier;

typedef LONG AsnInteger32;
typedef ULONG AsnUnsigned32;
typedef ULARGE_INTEGER AsnCounter64;
typedef AsnUnsigned32 AsnCounter32;
typedef AsnUnsigned32 AsnGauge32;
typedef AsnUnsigned32 AsnTimeticks;
typedef AsnOctetString AsnBits;
typedef AsnOctetString AsnSequence;
typedef AsnOctetString AsnImplicitSequence;
typedef AsnOctetString AsnIPAddress;
typedef AsnOctetString AsnNetworkAddress;
typedef AsnOctetString AsnDisplayString;
typedef AsnOctetString AsnOpaque;

typedef struct {
  BYTE asnType;
  union {
    AsnInteger32 number;
    AsnUnsigned32 unsigned32;
    AsnCounter64 counter64;
    AsnOctetString string;
    AsnBits bits;
    AsnObjectIdentifier object;
    AsnSequence sequence;
    AsnIPAddress address;
    AsnCounter32 counter;
    AsnGauge32 gauge;
    AsnTimeticks ticks;
    AsnOpaque arbitrary;
  } asnValue;
} AsnAny;

typedef AsnObjectIdentifier AsnObjectName;
typedef AsnAny AsnObjectSyntax;
typedef AsnInteger32 AsnInteger;
typedef AsnCounter32 AsnCounter;
typedef AsnGauge32 AsnGauge;

typedef struct {
  AsnObjectName name;
  AsnObjectSyntax value;
} SnmpVarBind;

typedef struct {
  SnmpVarBind* list;
  UINT len;
} SnmpVarBindList;

typedef SnmpVarBind RFC1157VarBind;
typedef SnmpVarBindList RFC1157VarBindList;

#pragma pack(pop)

/* ASN.1 tags */
#define ASN_UNIVERSAL 0x00
#define ASN_APPLICATION 0x40
#define ASN_CONTEXT 0x80
#define ASN_PRIVATE 0xC0
#define ASN_PRIMITIVE 0x00
#define ASN_CONSTRUCTOR 0x20

#define ASN_INTEGER 0x02
#define ASN_BITS 0x03
#define ASN_OCTETSTRING 0x04
#define ASN_NULL 0x05
#define ASN_OBJECTIDENTIFIER 0x06
#define ASN_INTEGER32 ASN_INTEGER
#define ASN_SEQUENCE 0x30
#define ASN_SEQUENCEOF ASN_SEQUENCE
#define ASN_IPADDRESS 0x40
#define ASN_COUNTER32 0x41
#define ASN_GAUGE32 0x42
#define ASN_TIMETICKS 0x43
#define ASN_OPAQUE 0x44
#define ASN_COUNTER64 0x46
#define ASN_UINTEGER32 0x47
#define ASN_RFC1155_IPADDRESS ASN_IPADDRESS
#define ASN_RFC1155_COUNTER ASN_COUNTER32
#define ASN_RFC1155_GAUGE ASN_GAUGE32
#define ASN_RFC1155_TIMETICKS ASN_TIMETICKS
#define ASN_RFC1155_OPAQUE ASN_OPAQUE
#define ASN_RFC1213_DISPSTRING ASN_OCTETSTRING

/* exception values of SNMPv2 bindings */
#define SNMP_EXCEPTION_NOSUCHOBJECT 0x80
#define SNMP_EXCEPTION_NOSUCHINSTANCE 0x81
#define SNMP_EXCEPTION_ENDOFMIBVIEW 0x82

/* PDU types */
#define SNMP_PDU_GET 0xA0
#define SNMP_PDU_GETNEXT 0xA1
#define SNMP_PDU_RESPONSE 0xA2
#define SNMP_PDU_SET 0xA3
#define SNMP_PDU_V1TRAP 0xA4
#define SNMP_PDU_GETBULK 0xA5
#define SNMP_PDU_INFORM 0xA6
#define SNMP_PDU_TRAP 0xA7

/* error status */
#define SNMP_ERRORSTATUS_NOERROR 0
#define SNMP_ERRORSTATUS_TOOBIG 1
#define SNMP_ERRORSTATUS_NOSUCHNAME 2
#define SNMP_ERRORSTATUS_BADVALUE 3
#define SNMP_ERRORSTATUS_READONLY 4
#define SNMP_ERRORSTATUS_GENERR 5
#define SNMP_ERRORSTATUS_NOACCESS 6
#define SNMP_ERRORSTATUS_WRONGTYPE 7
#define SNMP_ERRORSTATUS_WRONGLENGTH 8
#define SNMP_ERRORSTATUS_WRONGENCODING 9
#define SNMP_ERRORSTATUS_WRONGVALUE 10
#define SNMP_ERRORSTATUS_NOCREATION 11
#define SNMP_ERRORSTATUS_INCONSISTENTVALUE 12
#define SNMP_ERRORSTATUS_RESOURCEUNAVAILABLE 13
#define SNMP_ERRORSTATUS_COMMITFAILED 14
#define SNMP_ERRORSTATUS_UNDOFAILED 15
#define SNMP_ERRORSTATUS_AUTHORIZATIONERROR 16
#define SNMP_ERRORSTATUS_NOTWRITABLE 17
#define SNMP_ERRORSTATUS_INCONSISTENTNAME 18

/* generic traps */
#define SNMP_GENERICTRAP_COLDSTART 0
#define SNMP_GENERICTRAP_WARMSTART 1
#define SNMP_GENERICTRAP_LINKDOWN 2
#define SNMP_GENERICTRAP_LINKUP 3
#define SNMP_GENERICTRAP_AUTHFAILURE 4
#define SNMP_GENERICTRAP_EGPNEIGHLOSS 5
#define SNMP_GENERICTRAP_ENTERSPECIFIC 6

#define SNMP_MAX_OID_LEN 128

typedef INT SNMPAPI;
#define SNMP_FUNC_TYPE WINAPI
#define SNMPAPI_NOERROR TRUE
#define SNMPAPI_ERROR FALSE

#define SNMP_ACCESS_NONE 0
#define SNMP_ACCESS_NOTIFY 1
#define SNMP_ACCESS_READ_ONLY 2
#define SNMP_ACCESS_READ_WRITE 3
#define SNMP_ACCESS_READ_CREATE 4

/* Extension-agent entry points (implemented by the agent, called by the host). */
typedef BOOL(SNMP_FUNC_TYPE* PFNSNMPEXTENSIONINIT)(DWORD dwUpTimeReference, HANDLE* phSubagentTrapEvent,
                                                   AsnObjectIdentifier* pFirstSupportedRegion);
typedef BOOL(SNMP_FUNC_TYPE* PFNSNMPEXTENSIONQUERY)(BYTE bPduType, SnmpVarBindList* pVarBindList,
                                                    AsnInteger32* pErrorStatus, AsnInteger32* pErrorIndex);
typedef BOOL(SNMP_FUNC_TYPE* PFNSNMPEXTENSIONTRAP)(AsnObjectIdentifier* pEnterpriseOid, AsnInteger32* pGenericTrapId,
                                                   AsnInteger32* pSpecificTrapId, AsnTimeticks* pTimeStamp,
                                                   SnmpVarBindList* pVarBindList);

VELPLAT_BEGIN_C
BOOL SNMP_FUNC_TYPE SnmpExtensionInit(DWORD dwUpTimeReference, HANDLE* phSubagentTrapEvent,
                                      AsnObjectIdentifier* pFirstSupportedRegion);
BOOL SNMP_FUNC_TYPE SnmpExtensionQuery(BYTE bPduType, SnmpVarBindList* pVarBindList, AsnInteger32* pErrorStatus,
                                       AsnInteger32* pErrorIndex);
BOOL SNMP_FUNC_TYPE SnmpExtensionTrap(AsnObjectIdentifier* pEnterpriseOid, AsnInteger32* pGenericTrapId,
                                      AsnInteger32* pSpecificTrapId, AsnTimeticks* pTimeStamp,
                                      SnmpVarBindList* pVarBindList);
VELPLAT_END_C

/* SNMP utility library */
VELPLAT_API SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidCpy(AsnObjectIdentifier* pOidDst, AsnObjectIdentifier* pOidSrc);
VELPLAT_API SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidAppend(AsnObjectIdentifier* pOidDst, AsnObjectIdentifier* pOidSrc);
VELPLAT_API SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidNCmp(AsnObjectIdentifier* pOid1, AsnObjectIdentifier* pOid2,
                                                   UINT nSubIds);
VELPLAT_API SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidCmp(AsnObjectIdentifier* pOid1, AsnObjectIdentifier* pOid2);
VELPLAT_API VOID SNMP_FUNC_TYPE SnmpUtilOidFree(AsnObjectIdentifier* pOid);
VELPLAT_API SNMPAPI SNMP_FUNC_TYPE SnmpUtilAsnAnyCpy(AsnAny* pAnyDst, AsnAny* pAnySrc);
VELPLAT_API VOID SNMP_FUNC_TYPE SnmpUtilAsnAnyFree(AsnAny* pAny);
VELPLAT_API SNMPAPI SNMP_FUNC_TYPE SnmpUtilVarBindCpy(SnmpVarBind* pVbDst, SnmpVarBind* pVbSrc);
VELPLAT_API VOID SNMP_FUNC_TYPE SnmpUtilVarBindFree(SnmpVarBind* pVb);
VELPLAT_API VOID SNMP_FUNC_TYPE SnmpUtilVarBindListFree(SnmpVarBindList* pVbl);
VELPLAT_API LPVOID SNMP_FUNC_TYPE SnmpUtilMemAlloc(UINT nBytes);
VELPLAT_API LPVOID SNMP_FUNC_TYPE SnmpUtilMemReAlloc(LPVOID pMem, UINT nBytes);
VELPLAT_API VOID SNMP_FUNC_TYPE SnmpUtilMemFree(LPVOID pMem);

#endif
