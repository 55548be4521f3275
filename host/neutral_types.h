// The small neutral vocabulary between velmond's two halves: the SDK side
// (the extension agent, its AsnAny values and the platform layer) and the
// net-snmp side. The two sets of headers define clashing macros, so neither is
// included here and each half translates to and from these plain types.
//
// Object identifiers carry 32-bit arcs, as the extension-agent interface does.
// Error statuses are the SNMP error-status numbers, the same on both sides.
//
// Thread-safety: plain values; no shared state.
#ifndef VELMOND_NEUTRAL_TYPES_H
#define VELMOND_NEUTRAL_TYPES_H

#include <cstdint>
#include <string>
#include <vector>

namespace velmond {

using Oid = std::vector<std::uint32_t>;

enum class ValueKind {
  Null,
  Integer,      // number: signed 32-bit
  OctetString,  // bytes
  ObjectId,     // oid
  IpAddress,    // bytes: exactly 4, network order
  Counter32,    // number: unsigned 32-bit
  Gauge32,      // number: unsigned 32-bit
  TimeTicks,    // number: unsigned 32-bit
  Opaque,       // bytes
  Counter64,    // number: unsigned 64-bit
  // SNMPv2 exceptions, only ever seen in answers
  NoSuchObject,
  NoSuchInstance,
  EndOfMibView,
};

struct Value {
  ValueKind kind = ValueKind::Null;
  std::int64_t number = 0;  // Counter64 keeps its bit pattern
  std::string bytes;
  Oid oid;
  bool operator==(const Value&) const = default;
};

struct Binding {
  Oid name;
  Value value;
};

enum class Pdu { Get, GetNext, Set };

namespace status {
constexpr int kNoError = 0;
constexpr int kTooBig = 1;
constexpr int kNoSuchName = 2;
constexpr int kBadValue = 3;
constexpr int kReadOnly = 4;
constexpr int kGenErr = 5;
constexpr int kNoAccess = 6;
constexpr int kWrongType = 7;
constexpr int kWrongValue = 10;
constexpr int kNoCreation = 11;
constexpr int kNotWritable = 17;
}  // namespace status

// What SnmpExtensionQuery answered for a whole binding list.
struct QueryResult {
  bool returned = false;  // the entry point's BOOL
  int errorStatus = status::kNoError;
  int errorIndex = 0;     // 1-based; 0 when no binding failed
};

// One trap taken from SnmpExtensionTrap.
struct Trap {
  Oid enterprise;
  int genericTrap = 0;
  int specificTrap = 0;
  std::uint32_t timeStamp = 0;
  std::vector<Binding> bindings;
};

// True when `prefix` is a leading part of (or equal to) `oid`.
bool StartsWith(const Oid& oid, const Oid& prefix);
// "1.3.6.1..." for messages.
std::string ToString(const Oid& oid);

}  // namespace velmond

#endif
