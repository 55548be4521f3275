// BER encoding and strict decoding of SNMP messages.
#include "host/support/ber.h"

#include <sstream>

namespace velmond::testing::ber {
namespace {

// Reads one TLV after another from a span of bytes; any fault sticks.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool Next(std::uint8_t& type, std::string_view& content) {
    if (!ok_ || rest_.size() < 2) return Bad();
    type = static_cast<std::uint8_t>(rest_[0]);
    std::size_t at = 1;
    std::size_t length = static_cast<std::uint8_t>(rest_[at++]);
    if (length & 0x80) {
      std::size_t count = length & 0x7F;
      // Indefinite lengths and lengths beyond four bytes are not SNMP.
      if (count == 0 || count > 4 || rest_.size() < at + count) return Bad();
      length = 0;
      for (std::size_t i = 0; i < count; ++i) length = (length << 8) | static_cast<std::uint8_t>(rest_[at++]);
    }
    if (rest_.size() - at < length) return Bad();
    content = rest_.substr(at, length);
    rest_.remove_prefix(at + length);
    return true;
  }

  bool Expect(std::uint8_t wanted, std::string_view& content) {
    std::uint8_t type = 0;
    return Next(type, content) && (type == wanted || Bad());
  }

  bool Integer(std::int64_t& number) {
    std::string_view content;
    if (!Expect(tag::kInteger, content) || content.empty() || content.size() > 8) return Bad();
    number = static_cast<std::int8_t>(content[0]);
    for (std::size_t i = 1; i < content.size(); ++i) number = number * 256 + static_cast<std::uint8_t>(content[i]);
    return true;
  }

  bool Done() const { return ok_ && rest_.empty(); }
  bool Ok() const { return ok_; }

 private:
  bool Bad() {
    ok_ = false;
    return false;
  }
  std::string_view rest_;
  bool ok_ = true;
};

std::optional<Oid> DecodeOid(std::string_view content) {
  Oid arcs;
  std::uint64_t sub = 0;
  bool open = false;
  for (char c : content) {
    auto byte = static_cast<std::uint8_t>(c);
    sub = (sub << 7) | (byte & 0x7F);
    if (sub > UINT32_MAX) return std::nullopt;
    open = (byte & 0x80) != 0;
    if (open) continue;
    if (arcs.empty()) {
      std::uint32_t first = sub < 40 ? 0 : sub < 80 ? 1 : 2;
      arcs.push_back(first);
      arcs.push_back(static_cast<std::uint32_t>(sub - 40 * first));
    } else {
      arcs.push_back(static_cast<std::uint32_t>(sub));
    }
    sub = 0;
  }
  if (open || arcs.empty()) return std::nullopt;
  return arcs;
}

}  // namespace

void PrintTo(const Value& value, std::ostream* out) {
  static const char kHex[] = "0123456789abcdef";
  *out << "tag 0x" << kHex[value.type >> 4] << kHex[value.type & 0xF] << " [" << value.content.size() << " bytes";
  if (auto number = AsNumber(value)) *out << ": " << *number;
  if (auto arcs = AsOid(value)) *out << ": " << ToString(*arcs);
  if (value.type == tag::kOctetString && value.content.size() <= 64) *out << ": \"" << value.content << '"';
  *out << ']';
}

void PrintTo(const Binding& binding, std::ostream* out) {
  std::string name = ToString(binding.name);
  // The largest names are long; their end tells them apart.
  if (name.size() > 120) name = "..." + name.substr(name.size() - 100) + " (" + std::to_string(binding.name.size()) + " arcs)";
  *out << name << " = ";
  PrintTo(binding.value, out);
}

Bytes Length(std::size_t length) {
  if (length < 0x80) return Bytes(1, static_cast<char>(length));
  Bytes digits;
  for (; length > 0; length >>= 8) digits.insert(digits.begin(), static_cast<char>(length & 0xFF));
  return static_cast<char>(0x80 | digits.size()) + digits;
}

Bytes Tlv(std::uint8_t type, const Bytes& content) { return static_cast<char>(type) + Length(content.size()) + content; }

Bytes IntegerContent(std::int64_t number) {
  Bytes bytes;
  for (int i = 7; i >= 0; --i) bytes += static_cast<char>((static_cast<std::uint64_t>(number) >> (8 * i)) & 0xFF);
  // Drop leading bytes that only repeat the sign of the next one.
  while (bytes.size() > 1) {
    auto first = static_cast<std::uint8_t>(bytes[0]);
    auto second = static_cast<std::uint8_t>(bytes[1]);
    if ((first == 0x00 && !(second & 0x80)) || (first == 0xFF && (second & 0x80))) {
      bytes.erase(0, 1);
    } else {
      break;
    }
  }
  return bytes;
}

Bytes UnsignedContent(std::uint64_t number) {
  Bytes bytes;
  do {
    bytes.insert(bytes.begin(), static_cast<char>(number & 0xFF));
    number >>= 8;
  } while (number > 0);
  if (static_cast<std::uint8_t>(bytes[0]) & 0x80) bytes.insert(bytes.begin(), '\0');
  return bytes;
}

Bytes OidContent(const Oid& arcs) {
  auto sub = [](std::uint64_t value) {
    Bytes bytes(1, static_cast<char>(value & 0x7F));
    for (value >>= 7; value > 0; value >>= 7) bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return bytes;
  };
  if (arcs.empty()) return {};
  Bytes bytes = sub(40ull * arcs[0] + (arcs.size() > 1 ? arcs[1] : 0));
  for (std::size_t i = 2; i < arcs.size(); ++i) bytes += sub(arcs[i]);
  return bytes;
}

Value Integer(std::int64_t number) { return {tag::kInteger, IntegerContent(number)}; }
Value Unsigned(std::uint8_t type, std::uint64_t number) { return {type, UnsignedContent(number)}; }
Value Octets(const Bytes& bytes) { return {tag::kOctetString, bytes}; }
Value ObjectId(const Oid& arcs) { return {tag::kObjectId, OidContent(arcs)}; }
Value Null() { return {tag::kNull, {}}; }

Bytes Encode(const Message& message) {
  Bytes list;
  for (const Binding& b : message.bindings) {
    list += Tlv(tag::kSequence, Tlv(tag::kObjectId, OidContent(b.name)) + Tlv(b.value.type, b.value.content));
  }
  Bytes pdu = Tlv(tag::kInteger, IntegerContent(message.requestId)) +
              Tlv(tag::kInteger, IntegerContent(message.errorStatus)) +
              Tlv(tag::kInteger, IntegerContent(message.errorIndex)) + Tlv(tag::kSequence, list);
  return Tlv(tag::kSequence, Tlv(tag::kInteger, IntegerContent(message.version)) +
                                 Tlv(tag::kOctetString, message.community) + Tlv(message.pdu, pdu));
}

std::optional<Message> Decode(const Bytes& datagram) {
  Reader outer(datagram);
  std::string_view body;
  if (!outer.Expect(tag::kSequence, body) || !outer.Done()) return std::nullopt;
  Reader fields(body);
  Message message;
  std::string_view community;
  std::string_view pdu;
  if (!fields.Integer(message.version) || !fields.Expect(tag::kOctetString, community) ||
      !fields.Next(message.pdu, pdu) || !fields.Done()) {
    return std::nullopt;
  }
  message.community = Bytes(community);
  Reader header(pdu);
  std::string_view list;
  if (!header.Integer(message.requestId) || !header.Integer(message.errorStatus) ||
      !header.Integer(message.errorIndex) || !header.Expect(tag::kSequence, list) || !header.Done()) {
    return std::nullopt;
  }
  Reader bindings(list);
  while (bindings.Ok() && !bindings.Done()) {
    std::string_view pair;
    if (!bindings.Expect(tag::kSequence, pair)) return std::nullopt;
    Reader parts(pair);
    std::string_view name;
    std::string_view value;
    Binding binding;
    if (!parts.Expect(tag::kObjectId, name) || !parts.Next(binding.value.type, value) || !parts.Done()) {
      return std::nullopt;
    }
    auto arcs = DecodeOid(name);
    if (!arcs) return std::nullopt;
    binding.name = std::move(*arcs);
    binding.value.content = Bytes(value);
    message.bindings.push_back(std::move(binding));
  }
  if (!bindings.Ok()) return std::nullopt;
  return message;
}

std::optional<std::int64_t> AsNumber(const Value& value) {
  const Bytes& c = value.content;
  if (c.empty() || c.size() > 9) return std::nullopt;
  if (value.type == tag::kInteger) {
    if (c.size() > 8) return std::nullopt;
    std::int64_t number = static_cast<std::int8_t>(c[0]);
    for (std::size_t i = 1; i < c.size(); ++i) number = number * 256 + static_cast<std::uint8_t>(c[i]);
    return number;
  }
  if (value.type == tag::kCounter32 || value.type == tag::kGauge32 || value.type == tag::kTimeTicks ||
      value.type == tag::kCounter64) {
    std::uint64_t number = 0;
    for (char byte : c) number = (number << 8) | static_cast<std::uint8_t>(byte);
    return static_cast<std::int64_t>(number);
  }
  return std::nullopt;
}

std::optional<Oid> AsOid(const Value& value) {
  if (value.type != tag::kObjectId) return std::nullopt;
  return DecodeOid(value.content);
}

std::string ToString(const Oid& arcs) {
  std::string text;
  for (std::uint32_t arc : arcs) text += "." + std::to_string(arc);
  return text;
}

Oid ParseOid(const std::string& text) {
  Oid arcs;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, '.')) {
    if (!part.empty()) arcs.push_back(static_cast<std::uint32_t>(std::stoul(part)));
  }
  return arcs;
}

Oid Append(Oid base, const Oid& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

}  // namespace velmond::testing::ber
