// Fuzzes the Oracle node-list reader: arbitrary bytes become the values
// PublicNodeNames and PrivateNodeNames (REG_MULTI_SZ or another type,
// unterminated, odd lengths, without the closing empty name, very long),
// then ReadOracleNodeNames runs over a table that already holds two members.
// The table must end up as the lists say: one record per name up to the
// first empty one, each name cut to 31 characters and terminated, records
// past the lists untouched, the private names read only when a public name
// changed, and the result the first changed position or -1.
#include "backends/oracle/node_lists.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"

#include <velplat/registry.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace reg = velplat::registry;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

struct Record {
  LONG memberNumber;
  std::string name;
  std::string publicName;
};

std::vector<Record> Table() {
  auto lock = velmon::LockMemberTable();
  std::vector<Record> records;
  for (const velmon::MemberRecord& r : velmon::MemberTable) {
    // Every stored name is terminated inside its field.
    Require(strnlen(r.name, sizeof r.name) < sizeof r.name);
    Require(strnlen(r.publicName, sizeof r.publicName) < sizeof r.publicName);
    records.push_back({r.memberNumber, r.name, r.publicName});
  }
  return records;
}

void ResetMembers() {
  auto lock = velmon::LockMemberTable();
  std::memset(velmon::MemberTable, 0, sizeof velmon::MemberTable);
  const char* names[][2] = {{"node1", "priv1"}, {"node2", "priv2"}};
  for (int i = 0; i < 2; ++i) {
    velmon::MemberTable[i].memberNumber = i + 1;
    velmon::StoreMemberName(velmon::MemberTable[i].publicName, names[i][0]);
    velmon::StoreMemberName(velmon::MemberTable[i].name, names[i][1]);
  }
}

// The names of a list as the reader must see them: up to the first empty
// name or the end of the data, at most one per record, each cut to 31.
std::vector<std::string> Names(const std::vector<BYTE>& data) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < data.size() && data[at] != 0 && names.size() < static_cast<size_t>(velmon::kMemberCapacity)) {
    size_t end = at;
    while (end < data.size() && data[end] != 0) ++end;
    names.emplace_back(reinterpret_cast<const char*>(data.data() + at), std::min<size_t>(end - at, 31));
    at = end + 1;
  }
  return names;
}

}  // namespace

// Input: flags (bit 0/1: public/private value present; bit 2/3: public/
// private stored as REG_BINARY instead of REG_MULTI_SZ), the public value's
// length (two bytes, little-endian, cut to what is there), its bytes, and
// the rest as the private value.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  BYTE flags = data[0];
  size_t publicLength = std::min<size_t>(data[1] | (data[2] << 8), size - 3);
  std::vector<BYTE> publicBytes(data + 3, data + 3 + publicLength);
  std::vector<BYTE> privateBytes(data + 3 + publicLength, data + size);
  const char* key = velmon::test::kClusterManagerKeyPath;
  reg::DeleteKeyTree(key);
  reg::CreateKey(key);
  if (flags & 1) reg::SetValue(key, "PublicNodeNames", (flags & 4) ? REG_BINARY : REG_MULTI_SZ, publicBytes);
  if (flags & 2) reg::SetValue(key, "PrivateNodeNames", (flags & 8) ? REG_BINARY : REG_MULTI_SZ, privateBytes);
  ResetMembers();
  std::vector<Record> before = Table();

  int result = velmon::oracle::ReadOracleNodeNames();
  std::vector<Record> after = Table();

  std::vector<Record> expected = before;
  int expectedResult = -1;
  if (!(flags & 1)) {
    // No list: the table reads as empty.
    expected[0] = {0, "", ""};
  } else if (!(flags & 4)) {
    std::vector<std::string> names = Names(publicBytes);
    for (size_t i = 0; i < names.size(); ++i) {
      if (expected[i].publicName == names[i]) continue;
      expected[i].publicName = names[i];
      expected[i].memberNumber = static_cast<LONG>(i + 1);
      if (expectedResult < 0) expectedResult = static_cast<int>(i);
    }
    if (expectedResult >= 0 && !(flags & 2)) {
      expected[0].memberNumber = 0;
      expected[0].name.clear();
    } else if (expectedResult >= 0 && !(flags & 8)) {
      std::vector<std::string> privates = Names(privateBytes);
      for (size_t i = 0; i < privates.size(); ++i) {
        if (expected[i].name == privates[i]) continue;
        expected[i].name = privates[i];
        expected[i].memberNumber = static_cast<LONG>(i + 1);
      }
    }
  }
  Require(result == expectedResult);
  for (size_t i = 0; i < after.size(); ++i) {
    Require(after[i].memberNumber == expected[i].memberNumber);
    Require(after[i].name == expected[i].name);
    Require(after[i].publicName == expected[i].publicName);
  }
  return 0;
}
