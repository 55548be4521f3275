// Fuzzes the Oracle back-end's HOSTS file parser: arbitrary bytes become the
// local machine's HOSTS file and LoadHostsFileAddresses runs over a member
// table of five members. Checks:
//  - only private addresses change, and a member's address changes only to
//    what the text after some line's start converts to, on a line whose
//    second field is (or, cut by the line buffer, begins with) its name;
//  - for plain files (printable lines shorter than the line buffer) the
//    result is exactly the last valid line per member, names compared as
//    stored: cut to 31 characters.
#include "backends/oracle/host_resolution.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"

#include <winsock.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kUnset = 0x01020304;
const char* const kPrivate[] = {"racpriv1", "racpriv2", "rac-priv-3", "r", "racprivate-name-of-31-character"};
constexpr int kMembers = 5;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

void ResetMembers() {
  auto lock = velmon::LockMemberTable();
  std::memset(velmon::MemberTable, 0, sizeof velmon::MemberTable);
  for (int i = 0; i < kMembers; ++i) {
    velmon::MemberRecord& r = velmon::MemberTable[i];
    r.memberNumber = i + 1;
    velmon::StoreMemberName(r.name, kPrivate[i]);
    velmon::StoreMemberName(r.publicName, ("rac" + std::to_string(i + 1)).c_str());
    r.address = kUnset;
    r.publicAddress = 0x0B000000u + static_cast<DWORD>(i);
  }
}

std::vector<std::string> Split(const std::string& text, const char* separators) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find_first_of(separators, at);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// The first two non-empty blank/tab separated fields of a line.
bool Fields(const std::string& line, std::string* address, std::string* name) {
  std::vector<std::string> fields;
  for (std::string& f : Split(line, " \t"))
    if (!f.empty()) fields.push_back(std::move(f));
  if (fields.size() < 2) return false;
  *address = fields[0];
  *name = fields[1];
  return true;
}

DWORD Convert(const std::string& text) { return static_cast<DWORD>(inet_addr(text.c_str())); }

bool Plain(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.size() > 77) return false;
    for (char c : line)
      if (c != '\t' && (c < 0x20 || c > 0x7E)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  velmon::test::WriteHostsFile(text);
  ResetMembers();
  velmon::oracle::LoadHostsFileAddresses();

  std::vector<std::string> lines = Split(text, "\n");
  bool plain = Plain(lines);
  std::vector<DWORD> expected(kMembers, kUnset);
  if (plain) {
    for (const std::string& line : lines) {
      std::string address, name;
      if (line.empty() || line[0] == '#' || !Fields(line, &address, &name)) continue;
      for (int i = 0; i < kMembers; ++i)
        if (name.substr(0, 31) == kPrivate[i] && Convert(address) != INADDR_NONE) expected[i] = Convert(address);
    }
  }

  auto lock = velmon::LockMemberTable();
  for (int i = 0; i < kMembers; ++i) {
    const velmon::MemberRecord& r = velmon::MemberTable[i];
    Require(r.memberNumber == i + 1 && std::strcmp(r.name, kPrivate[i]) == 0);
    Require(std::strcmp(r.publicName, ("rac" + std::to_string(i + 1)).c_str()) == 0);
    Require(r.publicAddress == 0x0B000000u + static_cast<DWORD>(i));
    if (plain) Require(r.address == expected[i]);
    if (r.address == kUnset) continue;
    Require(r.address != INADDR_NONE);
    bool justified = false;
    for (const std::string& line : lines) {
      std::string address, name;
      if (!Fields(line, &address, &name) || name.compare(0, std::strlen(kPrivate[i]), kPrivate[i]) != 0) continue;
      // The converted text is the first field, possibly cut where a zero
      // byte ends the chunk.
      for (size_t cut = 1; cut <= address.size() && !justified; ++cut)
        justified = Convert(address.substr(0, cut)) == r.address;
      if (justified) break;
    }
    Require(justified);
  }
  for (int i = kMembers; i < velmon::kMemberCapacity; ++i) Require(velmon::MemberTable[i].address == 0);
  return 0;
}
