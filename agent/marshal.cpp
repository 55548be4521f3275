// Marshalling routines and the shared loadRow / freeRow pair.
#include "agent/marshal.h"

#include "agent/agent_heap.h"
#include "agent/mib_registry.h"

#include <cstring>

namespace velmon {
namespace {

const AttrHandler& HandlerOf(UINT group, UINT variable) {
  return MibVariableForRequest(group, variable)->getHandler;
}

// Gives the binding `length` bytes copied from `bytes` as a string-like value
// of `type`; genErr (value untouched) when the SNMP allocator fails.
Status SetOctets(RFC1157VarBind* binding, BYTE type, const void* bytes, UINT length) {
  auto* stream = static_cast<BYTE*>(SnmpUtilMemAlloc(length));
  if (!stream) return kGenErr;
  if (length) std::memcpy(stream, bytes, length);
  binding->value.asnValue.string.stream = stream;
  binding->value.asnValue.string.length = length;
  binding->value.asnValue.string.dynamic = TRUE;
  binding->value.asnType = type;
  return kNoError;
}

}  // namespace

Status MarshalInteger(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row) {
  INT value = 0;
  UINT scratch = 0;
  Status status = HandlerOf(group, variable).integer(&value, &scratch, row);
  if (status != kNoError) return status;
  binding->value.asnValue.number = value;
  binding->value.asnType = ASN_INTEGER;
  return kNoError;
}

Status MarshalOctetString(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row) {
  char buffer[kTextBufferSize] = {};
  AttrString text{0, buffer};
  UINT scratch = 0;
  Status status = HandlerOf(group, variable).string(&text, &scratch, row);
  if (status != kNoError) return status;
  // A handler never writes more than 255 bytes; a length outside the buffer
  // would read past it, so it is clamped.
  INT length = text.length < 0 ? 0 : (text.length > kMaxTextAnswer ? kMaxTextAnswer : text.length);
  return SetOctets(binding, ASN_OCTETSTRING, buffer, static_cast<UINT>(length));
}

Status MarshalObjectId(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row) {
  AsnObjectIdentifier oid{0, nullptr};
  UINT scratch = 0;
  Status status = HandlerOf(group, variable).objectId(&oid, &scratch, row);
  if (status != kNoError) {
    SnmpUtilOidFree(&oid);
    return status;
  }
  AsnObjectIdentifier copy{0, nullptr};
  BOOL copied = SnmpUtilOidCpy(&copy, &oid);
  if (oid.idLength != 0) SnmpUtilMemFree(oid.ids);
  if (!copied) return kGenErr;
  binding->value.asnValue.object = copy;
  binding->value.asnType = ASN_OBJECTIDENTIFIER;
  return kNoError;
}

Status MarshalIpAddress(RFC1157VarBind* binding, UINT group, UINT variable, const RowIndex* row) {
  DWORD address = 0;
  UINT scratch = 0;
  Status status = HandlerOf(group, variable).address(&address, &scratch, row);
  if (status != kNoError) return status;
  // Stored in network order: the bytes in memory are the dotted quad in order.
  return SetOctets(binding, ASN_IPADDRESS, &address, 4);
}

BOOL LoadRow(const RowIndex* index, RowIndex* row) {
  auto* arcs = static_cast<UINT*>(AgentAlloc(sizeof(UINT)));
  if (!arcs) return FALSE;
  arcs[0] = index->count > 0 ? index->arcs[0] : 0;
  row->count = 1;
  row->arcs = arcs;
  return TRUE;
}

void FreeRow(RowIndex* row) {
  AgentFree(row->arcs);
  row->count = 0;
  row->arcs = nullptr;
}

}  // namespace velmon
