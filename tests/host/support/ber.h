// A small BER codec for SNMP v1 and v2c messages, for tests that talk to
// velmond in raw UDP datagrams. Encoding writes exactly what it is given
// (any version, tag, error fields or value bytes), so that tests can build
// valid requests and then corrupt them; decoding is strict and accepts only
// one well-formed message that fills the whole datagram.
//
// Thread-safety: pure functions.
#ifndef VELMOND_TESTS_BER_H
#define VELMOND_TESTS_BER_H

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velmond::testing::ber {

using Bytes = std::string;
using Oid = std::vector<std::uint32_t>;

namespace tag {
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kNull = 0x05;
constexpr std::uint8_t kObjectId = 0x06;
constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kIpAddress = 0x40;
constexpr std::uint8_t kCounter32 = 0x41;
constexpr std::uint8_t kGauge32 = 0x42;
constexpr std::uint8_t kTimeTicks = 0x43;
constexpr std::uint8_t kOpaque = 0x44;
constexpr std::uint8_t kCounter64 = 0x46;
constexpr std::uint8_t kNoSuchObject = 0x80;
constexpr std::uint8_t kNoSuchInstance = 0x81;
constexpr std::uint8_t kEndOfMibView = 0x82;
constexpr std::uint8_t kGet = 0xA0;
constexpr std::uint8_t kGetNext = 0xA1;
constexpr std::uint8_t kResponse = 0xA2;
constexpr std::uint8_t kSet = 0xA3;
constexpr std::uint8_t kGetBulk = 0xA5;
}  // namespace tag

// Error status values of a response.
namespace error {
constexpr std::int64_t kNoError = 0;
constexpr std::int64_t kTooBig = 1;
constexpr std::int64_t kNoSuchName = 2;
constexpr std::int64_t kBadValue = 3;
constexpr std::int64_t kReadOnly = 4;
constexpr std::int64_t kGenErr = 5;
constexpr std::int64_t kNoAccess = 6;
constexpr std::int64_t kWrongType = 7;
constexpr std::int64_t kWrongLength = 8;
constexpr std::int64_t kWrongValue = 10;
constexpr std::int64_t kNoCreation = 11;
constexpr std::int64_t kNotWritable = 17;
}  // namespace error

// A value as it travels: its tag and its content bytes.
struct Value {
  std::uint8_t type = tag::kNull;
  Bytes content;
  bool operator==(const Value&) const = default;
};

struct Binding {
  Oid name;
  Value value;
  bool operator==(const Binding&) const = default;
};

struct Message {
  std::int64_t version = 1;  // 0: v1, 1: v2c
  Bytes community = "public";
  std::uint8_t pdu = tag::kGet;
  std::int64_t requestId = 1;
  std::int64_t errorStatus = 0;  // non-repeaters of a GetBulk
  std::int64_t errorIndex = 0;   // max-repetitions of a GetBulk
  std::vector<Binding> bindings;
};

// Readable failure messages in tests.
void PrintTo(const Value& value, std::ostream* out);
void PrintTo(const Binding& binding, std::ostream* out);

// Definite length in its shortest form.
Bytes Length(std::size_t length);
Bytes Tlv(std::uint8_t type, const Bytes& content);
// Two's complement in the fewest bytes.
Bytes IntegerContent(std::int64_t number);
// Unsigned, with a leading zero byte where the top bit is set.
Bytes UnsignedContent(std::uint64_t number);
// The first two arcs share one subidentifier (40 * first + second).
Bytes OidContent(const Oid& arcs);

Value Integer(std::int64_t number);
Value Unsigned(std::uint8_t type, std::uint64_t number);
Value Octets(const Bytes& bytes);
Value ObjectId(const Oid& arcs);
Value Null();

Bytes Encode(const Message& message);
std::optional<Message> Decode(const Bytes& datagram);

// INTEGER as signed; Counter32, Gauge32, TimeTicks and Counter64 as unsigned.
std::optional<std::int64_t> AsNumber(const Value& value);
std::optional<Oid> AsOid(const Value& value);

// ".1.3.6.1" and back.
std::string ToString(const Oid& arcs);
Oid ParseOid(const std::string& text);
// `base` followed by `more`.
Oid Append(Oid base, const Oid& more);

}  // namespace velmond::testing::ber

#endif
