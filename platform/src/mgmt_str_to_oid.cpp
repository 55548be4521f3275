// SnmpMgrStrToOid: dotted decimal text to an object identifier.
#include <mgmtapi.h>

#include <cstring>
#include <vector>

namespace {
// Arcs that text without a leading dot is relative to (mib-2).
constexpr UINT kMib2[] = {1, 3, 6, 1, 2, 1};
}  // namespace

BOOL SNMP_FUNC_TYPE SnmpMgrStrToOid(LPSTR string, AsnObjectIdentifier* oid) {
  if (!string || !oid) return FALSE;
  const char* p = string;
  std::vector<UINT> arcs;
  if (*p == '.') {
    ++p;
  } else {
    arcs.assign(std::begin(kMib2), std::end(kMib2));
  }
  if (*p == '\0') return FALSE;
  while (true) {
    if (*p < '0' || *p > '9') return FALSE;
    unsigned long long value = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<unsigned>(*p - '0');
      if (value > 0xFFFFFFFFull) return FALSE;
      ++p;
    }
    arcs.push_back(static_cast<UINT>(value));
    if (*p == '\0') break;
    if (*p != '.') return FALSE;
    ++p;
  }
  auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(arcs.size() * sizeof(UINT))));
  if (!ids) return FALSE;
  std::memcpy(ids, arcs.data(), arcs.size() * sizeof(UINT));
  oid->ids = ids;
  oid->idLength = static_cast<UINT>(arcs.size());
  return TRUE;
}
