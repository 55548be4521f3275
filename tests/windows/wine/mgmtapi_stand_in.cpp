// A stand-in for mgmtapi.dll, used only by the Wine test programs: Wine 8
// exports SnmpMgrStrToOid but does not implement it (a call aborts the
// process). This one converts numeric names the way Windows does: a leading
// dot makes the name absolute, without it the arcs follow mib-2
// (1.3.6.1.2.1). Symbolic names are not supported (FALSE). The arcs come
// from SnmpUtilMemAlloc, so the caller frees them with SnmpUtilOidFree.
#include <windows.h>
#include <snmp.h>

#include <cstdint>
#include <vector>

extern "C" BOOL SNMP_FUNC_TYPE SnmpMgrStrToOid(LPSTR string, AsnObjectIdentifier* oid) {
  if (!string || !oid) return FALSE;
  std::vector<UINT> arcs;
  const char* at = string;
  if (*at == '.') {
    ++at;
  } else {
    arcs = {1, 3, 6, 1, 2, 1};
  }
  while (*at) {
    if (*at < '0' || *at > '9') return FALSE;
    std::uint64_t arc = 0;
    while (*at >= '0' && *at <= '9') {
      arc = arc * 10 + static_cast<unsigned>(*at++ - '0');
      if (arc > 0xFFFFFFFFu) return FALSE;
    }
    arcs.push_back(static_cast<UINT>(arc));
    if (*at == '.') {
      ++at;
      if (!*at) return FALSE;
    } else if (*at) {
      return FALSE;
    }
  }
  if (arcs.empty()) return FALSE;
  auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(arcs.size() * sizeof(UINT))));
  if (!ids) return FALSE;
  for (size_t i = 0; i < arcs.size(); ++i) ids[i] = arcs[i];
  oid->idLength = static_cast<UINT>(arcs.size());
  oid->ids = ids;
  return TRUE;
}
