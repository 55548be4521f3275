// net-snmp bindings to and from neutral values.
#include "host/snmp/netsnmp_convert.h"

#include <cstdint>
#include <cstring>

namespace velmond::netsnmp {

std::optional<Oid> FromNetsnmpOid(const oid* arcs, size_t count) {
  Oid name;
  name.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (arcs[i] > UINT32_MAX) return std::nullopt;
    name.push_back(static_cast<std::uint32_t>(arcs[i]));
  }
  return name;
}

std::vector<oid> ToNetsnmpOid(const Oid& name) { return std::vector<oid>(name.begin(), name.end()); }

Value FromVariable(const netsnmp_variable_list& v) {
  Value value;
  switch (v.type) {
    case ASN_INTEGER:
      value.kind = ValueKind::Integer;
      value.number = v.val.integer ? static_cast<std::int32_t>(*v.val.integer) : 0;
      break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
      value.kind = v.type == ASN_COUNTER ? ValueKind::Counter32
                   : v.type == ASN_GAUGE ? ValueKind::Gauge32
                                         : ValueKind::TimeTicks;
      value.number = v.val.integer ? static_cast<std::uint32_t>(*v.val.integer) : 0;
      break;
    case ASN_COUNTER64:
      value.kind = ValueKind::Counter64;
      if (v.val.counter64) {
        value.number = static_cast<std::int64_t>((static_cast<std::uint64_t>(v.val.counter64->high) << 32) |
                                                 (v.val.counter64->low & 0xFFFFFFFFu));
      }
      break;
    case ASN_OCTET_STR:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
      value.kind = v.type == ASN_OCTET_STR ? ValueKind::OctetString
                   : v.type == ASN_IPADDRESS ? ValueKind::IpAddress
                                             : ValueKind::Opaque;
      if (v.val.string && v.val_len > 0) value.bytes.assign(reinterpret_cast<const char*>(v.val.string), v.val_len);
      break;
    case ASN_OBJECT_ID:
      if (v.val.objid) {
        if (auto name = FromNetsnmpOid(v.val.objid, v.val_len / sizeof(oid))) {
          value.kind = ValueKind::ObjectId;
          value.oid = std::move(*name);
        }
      }
      break;
    default:
      break;
  }
  return value;
}

bool SetVariableValue(netsnmp_variable_list* variable, const Value& value) {
  switch (value.kind) {
    case ValueKind::Integer: {
      long number = static_cast<std::int32_t>(value.number);
      return snmp_set_var_typed_value(variable, ASN_INTEGER, &number, sizeof(number)) == 0;
    }
    case ValueKind::Counter32:
    case ValueKind::Gauge32:
    case ValueKind::TimeTicks: {
      u_char type = value.kind == ValueKind::Counter32 ? ASN_COUNTER
                    : value.kind == ValueKind::Gauge32 ? ASN_GAUGE
                                                       : ASN_TIMETICKS;
      u_long number = static_cast<std::uint32_t>(value.number);
      return snmp_set_var_typed_value(variable, type, &number, sizeof(number)) == 0;
    }
    case ValueKind::Counter64: {
      counter64 number{};
      auto bits = static_cast<std::uint64_t>(value.number);
      number.high = bits >> 32;
      number.low = bits & 0xFFFFFFFFu;
      return snmp_set_var_typed_value(variable, ASN_COUNTER64, &number, sizeof(number)) == 0;
    }
    case ValueKind::OctetString:
    case ValueKind::Opaque:
      return snmp_set_var_typed_value(variable, value.kind == ValueKind::OctetString ? ASN_OCTET_STR : ASN_OPAQUE,
                                      value.bytes.data(), value.bytes.size()) == 0;
    case ValueKind::IpAddress:
      if (value.bytes.size() != 4) return false;
      return snmp_set_var_typed_value(variable, ASN_IPADDRESS, value.bytes.data(), 4) == 0;
    case ValueKind::ObjectId: {
      std::vector<oid> arcs = ToNetsnmpOid(value.oid);
      return snmp_set_var_typed_value(variable, ASN_OBJECT_ID, arcs.data(), arcs.size() * sizeof(oid)) == 0;
    }
    case ValueKind::Null:
    case ValueKind::NoSuchObject:
    case ValueKind::NoSuchInstance:
    case ValueKind::EndOfMibView:
      return false;
  }
  return false;
}

}  // namespace velmond::netsnmp
