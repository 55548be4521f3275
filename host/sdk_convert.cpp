// Neutral values to and from the extension-agent interface's types.
#include "host/sdk_convert.h"

#include <cstring>

namespace velmond::sdk {
namespace {

bool CopyBytes(const std::string& bytes, AsnOctetString* out) {
  out->stream = nullptr;
  out->length = static_cast<UINT>(bytes.size());
  out->dynamic = FALSE;
  if (bytes.empty()) return true;
  out->stream = static_cast<BYTE*>(SnmpUtilMemAlloc(out->length));
  if (!out->stream) return false;
  std::memcpy(out->stream, bytes.data(), bytes.size());
  out->dynamic = TRUE;
  return true;
}

std::string BytesOf(const AsnOctetString& s) {
  if (!s.stream || s.length == 0) return {};
  return std::string(reinterpret_cast<const char*>(s.stream), s.length);
}

}  // namespace

bool ToSdkOid(const Oid& oid, AsnObjectIdentifier* out) {
  out->idLength = 0;
  out->ids = nullptr;
  if (oid.empty()) return true;
  auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(oid.size() * sizeof(UINT))));
  if (!ids) return false;
  for (size_t i = 0; i < oid.size(); ++i) ids[i] = oid[i];
  out->ids = ids;
  out->idLength = static_cast<UINT>(oid.size());
  return true;
}

Oid FromSdkOid(const AsnObjectIdentifier& oid) {
  if (!oid.ids) return {};
  return Oid(oid.ids, oid.ids + oid.idLength);
}

bool ToSdkValue(const Value& value, AsnAny* out) {
  std::memset(out, 0, sizeof(*out));
  out->asnType = ASN_NULL;
  switch (value.kind) {
    case ValueKind::Null:
      return true;
    case ValueKind::Integer:
      out->asnType = ASN_INTEGER;
      out->asnValue.number = static_cast<AsnInteger32>(value.number);
      return true;
    case ValueKind::Counter32:
    case ValueKind::Gauge32:
    case ValueKind::TimeTicks:
      out->asnType = value.kind == ValueKind::Counter32 ? ASN_COUNTER32
                     : value.kind == ValueKind::Gauge32 ? ASN_GAUGE32
                                                         : ASN_TIMETICKS;
      out->asnValue.unsigned32 = static_cast<AsnUnsigned32>(value.number);
      return true;
    case ValueKind::Counter64:
      out->asnType = ASN_COUNTER64;
      out->asnValue.counter64.QuadPart = static_cast<ULONGLONG>(value.number);
      return true;
    case ValueKind::OctetString:
    case ValueKind::IpAddress:
    case ValueKind::Opaque: {
      BYTE type = value.kind == ValueKind::OctetString ? ASN_OCTETSTRING
                  : value.kind == ValueKind::IpAddress ? ASN_IPADDRESS
                                                       : ASN_OPAQUE;
      if (!CopyBytes(value.bytes, &out->asnValue.string)) return false;
      out->asnType = type;
      return true;
    }
    case ValueKind::ObjectId:
      if (!ToSdkOid(value.oid, &out->asnValue.object)) return false;
      out->asnType = ASN_OBJECTIDENTIFIER;
      return true;
    case ValueKind::NoSuchObject:
    case ValueKind::NoSuchInstance:
    case ValueKind::EndOfMibView:
      return false;
  }
  return false;
}

Value FromSdkValue(const AsnAny& any) {
  Value value;
  switch (any.asnType) {
    case ASN_INTEGER:
      value.kind = ValueKind::Integer;
      value.number = any.asnValue.number;
      break;
    case ASN_OCTETSTRING:
      value.kind = ValueKind::OctetString;
      value.bytes = BytesOf(any.asnValue.string);
      break;
    case ASN_IPADDRESS:
      value.kind = ValueKind::IpAddress;
      value.bytes = BytesOf(any.asnValue.address);
      break;
    case ASN_OPAQUE:
      value.kind = ValueKind::Opaque;
      value.bytes = BytesOf(any.asnValue.arbitrary);
      break;
    case ASN_OBJECTIDENTIFIER:
      value.kind = ValueKind::ObjectId;
      value.oid = FromSdkOid(any.asnValue.object);
      break;
    case ASN_COUNTER32:
    case ASN_GAUGE32:
    case ASN_TIMETICKS:
      value.kind = any.asnType == ASN_COUNTER32 ? ValueKind::Counter32
                   : any.asnType == ASN_GAUGE32 ? ValueKind::Gauge32
                                                : ValueKind::TimeTicks;
      value.number = any.asnValue.unsigned32;
      break;
    case ASN_COUNTER64:
      value.kind = ValueKind::Counter64;
      value.number = static_cast<std::int64_t>(any.asnValue.counter64.QuadPart);
      break;
    default:
      value.kind = ValueKind::Null;
      break;
  }
  return value;
}

}  // namespace velmond::sdk
