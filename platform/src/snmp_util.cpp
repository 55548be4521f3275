// The SNMP utility library: the allocator that binding values come from, and
// object identifier copy, append, compare and free.
#include <snmp.h>
#include <velplat/faults.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using velplat::faults::Consume;
using velplat::faults::Point;

LPVOID SNMP_FUNC_TYPE SnmpUtilMemAlloc(UINT nBytes) {
  if (Consume(Point::SnmpAlloc)) return nullptr;
  return std::calloc(1, nBytes ? nBytes : 1);  // zeroed; 0 bytes still gives a block
}

LPVOID SNMP_FUNC_TYPE SnmpUtilMemReAlloc(LPVOID pMem, UINT nBytes) {
  if (Consume(Point::SnmpAlloc)) return nullptr;
  return std::realloc(pMem, nBytes ? nBytes : 1);
}

VOID SNMP_FUNC_TYPE SnmpUtilMemFree(LPVOID pMem) { std::free(pMem); }

SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidCpy(AsnObjectIdentifier* pOidDst, AsnObjectIdentifier* pOidSrc) {
  if (!pOidDst) return SNMPAPI_ERROR;
  pOidDst->idLength = 0;
  pOidDst->ids = nullptr;
  if (!pOidSrc || pOidSrc->idLength == 0 || !pOidSrc->ids) return SNMPAPI_NOERROR;
  auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(pOidSrc->idLength * sizeof(UINT)));
  if (!ids) return SNMPAPI_ERROR;
  std::memcpy(ids, pOidSrc->ids, pOidSrc->idLength * sizeof(UINT));
  pOidDst->ids = ids;
  pOidDst->idLength = pOidSrc->idLength;
  return SNMPAPI_NOERROR;
}

SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidAppend(AsnObjectIdentifier* pOidDst, AsnObjectIdentifier* pOidSrc) {
  if (!pOidDst) return SNMPAPI_ERROR;
  if (!pOidSrc || pOidSrc->idLength == 0) return SNMPAPI_NOERROR;
  UINT total = pOidDst->idLength + pOidSrc->idLength;
  if (total < pOidDst->idLength) return SNMPAPI_ERROR;  // arc count overflow
  auto* ids = static_cast<UINT*>(SnmpUtilMemReAlloc(pOidDst->ids, total * sizeof(UINT)));
  if (!ids) return SNMPAPI_ERROR;  // the destination keeps its old arcs
  std::memcpy(ids + pOidDst->idLength, pOidSrc->ids, pOidSrc->idLength * sizeof(UINT));
  pOidDst->ids = ids;
  pOidDst->idLength = total;
  return SNMPAPI_NOERROR;
}

SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidNCmp(AsnObjectIdentifier* pOid1, AsnObjectIdentifier* pOid2, UINT nSubIds) {
  if (!pOid1 || !pOid2) return 0;
  UINT len = std::min({pOid1->idLength, pOid2->idLength, nSubIds});
  for (UINT i = 0; i < len; ++i) {
    if (pOid1->ids[i] < pOid2->ids[i]) return -1;
    if (pOid1->ids[i] > pOid2->ids[i]) return 1;
  }
  if (len == nSubIds) return 0;
  if (pOid1->idLength < pOid2->idLength) return -1;
  if (pOid1->idLength > pOid2->idLength) return 1;
  return 0;
}

SNMPAPI SNMP_FUNC_TYPE SnmpUtilOidCmp(AsnObjectIdentifier* pOid1, AsnObjectIdentifier* pOid2) {
  if (!pOid1 || !pOid2) return 0;
  return SnmpUtilOidNCmp(pOid1, pOid2, std::max(pOid1->idLength, pOid2->idLength));
}

VOID SNMP_FUNC_TYPE SnmpUtilOidFree(AsnObjectIdentifier* pOid) {
  if (!pOid) return;
  SnmpUtilMemFree(pOid->ids);
  pOid->ids = nullptr;
  pOid->idLength = 0;
}

namespace {
bool HoldsOctets(BYTE type) {
  switch (type) {
    case ASN_OCTETSTRING:
    case ASN_BITS:
    case ASN_SEQUENCE:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
      return true;
    default:
      return false;
  }
}
}  // namespace

SNMPAPI SNMP_FUNC_TYPE SnmpUtilAsnAnyCpy(AsnAny* pAnyDst, AsnAny* pAnySrc) {
  if (!pAnyDst || !pAnySrc) return SNMPAPI_ERROR;
  if (pAnySrc->asnType == ASN_OBJECTIDENTIFIER) {
    pAnyDst->asnType = ASN_OBJECTIDENTIFIER;
    return SnmpUtilOidCpy(&pAnyDst->asnValue.object, &pAnySrc->asnValue.object);
  }
  if (HoldsOctets(pAnySrc->asnType)) {
    const AsnOctetString& src = pAnySrc->asnValue.string;
    AsnOctetString copy{nullptr, 0, FALSE};
    if (src.length > 0) {
      copy.stream = static_cast<BYTE*>(SnmpUtilMemAlloc(src.length));
      if (!copy.stream) return SNMPAPI_ERROR;
      std::memcpy(copy.stream, src.stream, src.length);
      copy.length = src.length;
      copy.dynamic = TRUE;
    }
    pAnyDst->asnType = pAnySrc->asnType;
    pAnyDst->asnValue.string = copy;
    return SNMPAPI_NOERROR;
  }
  *pAnyDst = *pAnySrc;
  return SNMPAPI_NOERROR;
}

VOID SNMP_FUNC_TYPE SnmpUtilAsnAnyFree(AsnAny* pAny) {
  if (!pAny) return;
  if (pAny->asnType == ASN_OBJECTIDENTIFIER) {
    SnmpUtilOidFree(&pAny->asnValue.object);
  } else if (HoldsOctets(pAny->asnType) && pAny->asnValue.string.dynamic) {
    SnmpUtilMemFree(pAny->asnValue.string.stream);
    pAny->asnValue.string.stream = nullptr;
    pAny->asnValue.string.length = 0;
    pAny->asnValue.string.dynamic = FALSE;
  }
  pAny->asnType = ASN_NULL;
}

SNMPAPI SNMP_FUNC_TYPE SnmpUtilVarBindCpy(SnmpVarBind* pVbDst, SnmpVarBind* pVbSrc) {
  if (!pVbDst || !pVbSrc) return SNMPAPI_ERROR;
  if (!SnmpUtilOidCpy(&pVbDst->name, &pVbSrc->name)) return SNMPAPI_ERROR;
  if (!SnmpUtilAsnAnyCpy(&pVbDst->value, &pVbSrc->value)) {
    SnmpUtilOidFree(&pVbDst->name);
    return SNMPAPI_ERROR;
  }
  return SNMPAPI_NOERROR;
}

VOID SNMP_FUNC_TYPE SnmpUtilVarBindFree(SnmpVarBind* pVb) {
  if (!pVb) return;
  SnmpUtilOidFree(&pVb->name);
  SnmpUtilAsnAnyFree(&pVb->value);
}

VOID SNMP_FUNC_TYPE SnmpUtilVarBindListFree(SnmpVarBindList* pVbl) {
  if (!pVbl) return;
  for (UINT i = 0; i < pVbl->len; ++i) SnmpUtilVarBindFree(&pVbl->list[i]);
  SnmpUtilMemFree(pVbl->list);
  pVbl->list = nullptr;
  pVbl->len = 0;
}
