// Turns fuzzer bytes into an SNMP extension-agent request: a request type and
// a binding list built as the SNMP service builds one (names and values from
// the SNMP allocator, so SnmpUtilVarBindListFree releases everything). Used by
// the query fuzzer and by the tests that replay its findings.
//
// Bytes: request type, binding count, then per binding
//   flags (bit 0: the name starts with the agent's view
//   1.3.6.1.4.1.32473.2.18.22.4.1), arc count (one byte; 255 means two more
//   bytes, little-endian; at most 2048), the arcs (one byte each below 0xFE;
//   0xFE: two bytes follow; 0xFF: four bytes follow), value type (any byte),
//   value length (one byte) and that many value bytes: an object identifier's
//   arcs (4 bytes each, native order), a string's octets, or a number's bytes.
// Missing bytes read as 0, so every input decodes.
//
// Thread-safety: plain values.
#ifndef VELMON_FUZZ_REQUEST_DECODER_H
#define VELMON_FUZZ_REQUEST_DECODER_H

#include <snmp.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velmon::fuzz {

inline constexpr UINT kViewArcs[] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};
inline constexpr UINT kViewArcCount = 12;
inline constexpr UINT kMaxDecodedArcs = 2048;  // well past the engine's limit of 255

inline bool HoldsOctets(BYTE type) {
  return type == ASN_OCTETSTRING || type == ASN_BITS || type == ASN_SEQUENCE || type == ASN_IPADDRESS ||
         type == ASN_OPAQUE;
}

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  BYTE Byte() { return at_ < size_ ? data_[at_++] : 0; }
  UINT Little(int bytes) {
    UINT value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<UINT>(Byte()) << (8 * i);
    return value;
  }
  UINT Arc() {
    BYTE b = Byte();
    if (b == 0xFE) return Little(2);
    if (b == 0xFF) return Little(4);
    return b;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The decoded request; owns its list and frees it as the service would.
class DecodedRequest {
 public:
  DecodedRequest(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    type = in.Byte();
    UINT count = in.Byte();
    list.len = count;
    list.list = static_cast<RFC1157VarBind*>(SnmpUtilMemAlloc(count * sizeof(RFC1157VarBind)));
    for (UINT i = 0; i < count; ++i) DecodeBinding(in, &list.list[i]);
  }
  ~DecodedRequest() { SnmpUtilVarBindListFree(&list); }
  DecodedRequest(const DecodedRequest&) = delete;
  DecodedRequest& operator=(const DecodedRequest&) = delete;

  BYTE type = 0;
  RFC1157VarBindList list{nullptr, 0};

 private:
  static void DecodeBinding(ByteReader& in, RFC1157VarBind* binding) {
    BYTE flags = in.Byte();
    UINT count = in.Byte();
    if (count == 255) count = in.Little(2);
    count = std::min(count, kMaxDecodedArcs);
    UINT prefix = (flags & 1) ? kViewArcCount : 0;
    binding->name.idLength = prefix + count;
    binding->name.ids = static_cast<UINT*>(SnmpUtilMemAlloc((prefix + count) * sizeof(UINT)));
    if (prefix) std::memcpy(binding->name.ids, kViewArcs, prefix * sizeof(UINT));
    for (UINT i = 0; i < count; ++i) binding->name.ids[prefix + i] = in.Arc();
    DecodeValue(in, &binding->value);
  }

  static void DecodeValue(ByteReader& in, AsnAny* value) {
    value->asnType = in.Byte();
    BYTE length = in.Byte();
    std::vector<BYTE> bytes(length);
    for (BYTE& b : bytes) b = in.Byte();
    if (value->asnType == ASN_OBJECTIDENTIFIER) {
      UINT count = length / 4u;
      value->asnValue.object.idLength = count;
      value->asnValue.object.ids = static_cast<UINT*>(SnmpUtilMemAlloc(count * sizeof(UINT)));
      if (count) std::memcpy(value->asnValue.object.ids, bytes.data(), count * sizeof(UINT));
    } else if (HoldsOctets(value->asnType)) {
      value->asnValue.string.length = length;
      value->asnValue.string.stream = static_cast<BYTE*>(SnmpUtilMemAlloc(length));
      if (length) std::memcpy(value->asnValue.string.stream, bytes.data(), length);
      value->asnValue.string.dynamic = TRUE;
    } else if (length) {
      // A number of any width: as many bytes as the widest one holds.
      std::memcpy(&value->asnValue.counter64, bytes.data(), std::min<size_t>(length, sizeof(AsnCounter64)));
    }
  }
};

}  // namespace velmon::fuzz

#endif
