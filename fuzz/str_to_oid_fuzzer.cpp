// Fuzzes SnmpMgrStrToOid with arbitrary text. A TRUE answer must be an
// identifier that the text really spells (mib-2 relative without a leading
// dot) and that the SNMP allocator can free; FALSE must leave it untouched.
#include <mgmtapi.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr UINT kMib2[] = {1, 3, 6, 1, 2, 1};

// The arcs the text spells, parsed independently of the code under test; an
// empty result when the text is not dotted decimal or an arc overflows.
bool ExpectedArcs(const std::string& text, std::vector<UINT>* arcs) {
  size_t at = 0;
  if (!text.empty() && text[0] == '.') {
    at = 1;
  } else {
    arcs->assign(std::begin(kMib2), std::end(kMib2));
  }
  if (at == text.size()) return false;
  while (true) {
    size_t end = text.find('.', at);
    if (end == std::string::npos) end = text.size();
    if (end == at) return false;  // empty arc
    unsigned long long value = 0;
    for (size_t i = at; i < end; ++i) {
      char c = text[i];
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > 0xFFFFFFFFull) return false;
    }
    arcs->push_back(static_cast<UINT>(value));
    if (end == text.size()) return true;
    at = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The call takes zero-terminated text: anything after a zero byte is not
  // part of the string.
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');

  static UINT sentinel = 0;
  AsnObjectIdentifier oid{0xDEADu, &sentinel};
  BOOL ok = SnmpMgrStrToOid(buffer.data(), &oid);

  std::vector<UINT> expected;
  bool valid = ExpectedArcs(text, &expected);
  if (ok != TRUE && ok != FALSE) __builtin_trap();
  if (!ok) {
    // Refused text leaves the identifier as it was.
    if (valid || oid.idLength != 0xDEADu || oid.ids != &sentinel) __builtin_trap();
    return 0;
  }
  if (!valid || oid.idLength != expected.size() || oid.idLength == 0 || !oid.ids) __builtin_trap();
  for (UINT i = 0; i < oid.idLength; ++i)
    if (oid.ids[i] != expected[i]) __builtin_trap();
  // A copy and a comparison must agree with the original, and both free.
  AsnObjectIdentifier copy{0, nullptr};
  if (!SnmpUtilOidCpy(&copy, &oid) || SnmpUtilOidCmp(&copy, &oid) != 0) __builtin_trap();
  SnmpUtilOidFree(&copy);
  SnmpUtilOidFree(&oid);
  if (oid.ids != nullptr || oid.idLength != 0) __builtin_trap();
  return 0;
}
