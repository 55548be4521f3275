#include "agent/support/snmp_request.h"

#include <cstring>
#include <sstream>

namespace velmon::test {

namespace {
const std::vector<UINT> kView = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};
}

std::vector<UINT> Arcs(const std::string& dotted) {
  std::vector<UINT> arcs;
  std::stringstream in(dotted);
  std::string part;
  while (std::getline(in, part, '.'))
    if (!part.empty()) arcs.push_back(static_cast<UINT>(std::stoul(part)));
  return arcs;
}

std::vector<UINT> Under(const std::string& dotted) {
  std::vector<UINT> arcs = kView;
  for (UINT arc : Arcs(dotted)) arcs.push_back(arc);
  return arcs;
}

std::string Dotted(const AsnObjectIdentifier& oid) {
  std::string text;
  for (UINT i = 0; i < oid.idLength; ++i) text += (i ? "." : "") + std::to_string(oid.ids[i]);
  return text;
}

std::string Relative(const AsnObjectIdentifier& oid) {
  if (oid.idLength <= kView.size() || !std::equal(kView.begin(), kView.end(), oid.ids)) return Dotted(oid);
  std::string text;
  for (UINT i = static_cast<UINT>(kView.size()); i < oid.idLength; ++i)
    text += (text.empty() ? "" : ".") + std::to_string(oid.ids[i]);
  return text;
}

Request::Request(const std::vector<std::vector<UINT>>& names) {
  list_.len = static_cast<UINT>(names.size());
  list_.list = static_cast<RFC1157VarBind*>(SnmpUtilMemAlloc(static_cast<UINT>(names.size() * sizeof(RFC1157VarBind))));
  for (size_t i = 0; i < names.size(); ++i) {
    RFC1157VarBind& vb = list_.list[i];
    vb.name.idLength = static_cast<UINT>(names[i].size());
    vb.name.ids = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(names[i].size() * sizeof(UINT))));
    if (!names[i].empty()) std::memcpy(vb.name.ids, names[i].data(), names[i].size() * sizeof(UINT));
    vb.value.asnType = ASN_NULL;
  }
}

Request::~Request() { SnmpUtilVarBindListFree(&list_); }

BOOL Request::Run(BYTE pduType) { return SnmpExtensionQuery(pduType, &list_, &status, &index); }

namespace {
Answer Collect(Request& request) {
  RFC1157VarBind& vb = request[0];
  Answer answer{request.status, Relative(vb.name), vb.value.asnType, 0, {}, {}};
  switch (vb.value.asnType) {
    case ASN_INTEGER:
      answer.number = vb.value.asnValue.number;
      break;
    case ASN_OCTETSTRING:
    case ASN_IPADDRESS:
      answer.bytes.assign(reinterpret_cast<const char*>(vb.value.asnValue.string.stream), vb.value.asnValue.string.length);
      break;
    case ASN_OBJECTIDENTIFIER:
      answer.oid = Dotted(vb.value.asnValue.object);
      break;
    default:
      break;
  }
  return answer;
}

Answer Run(const std::vector<UINT>& name, BYTE type) {
  Request request({name});
  request.Run(type);
  return Collect(request);
}
}  // namespace

Answer Get(const std::string& relative) { return Run(Under(relative), SNMP_PDU_GET); }
Answer GetNext(const std::string& relative) { return Run(Under(relative), SNMP_PDU_GETNEXT); }
Answer GetNextFull(const std::vector<UINT>& name) { return Run(name, SNMP_PDU_GETNEXT); }

std::vector<std::string> Walk(const std::string& start, size_t limit) {
  std::vector<std::string> visited;
  std::vector<UINT> name = Under(start);
  for (size_t i = 0; i < limit; ++i) {
    Request request({name});
    request.Run(SNMP_PDU_GETNEXT);
    std::string relative = Relative(request[0].name);
    if (request.status != 0 || relative == kEndOfView) break;
    visited.push_back(relative);
    name.assign(request[0].name.ids, request[0].name.ids + request[0].name.idLength);
  }
  return visited;
}

}  // namespace velmon::test
