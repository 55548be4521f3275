// Security identifiers: building and recognising machine and built-in SIDs.
#include "accounts_sid.h"

#include <array>
#include <cctype>
#include <cstring>

namespace velplat::accounts::detail {
namespace {

constexpr BYTE kNtAuthority = 5;
constexpr DWORD kNonUniqueDomain = 21;
constexpr DWORD kBuiltinDomain = 32;

SidBytes Build(const std::vector<DWORD>& subAuthorities) {
  SidBytes sid(8 + 4 * subAuthorities.size());
  sid[0] = 1;  // revision
  sid[1] = static_cast<BYTE>(subAuthorities.size());
  sid[7] = kNtAuthority;  // the authority is six big-endian bytes
  std::memcpy(sid.data() + 8, subAuthorities.data(), 4 * subAuthorities.size());
  return sid;
}

std::array<DWORD, 3> DomainParts(std::string_view machineName) {
  // FNV-1a over the upper-case name, with three seeds.
  std::array<DWORD, 3> parts{2166136261u, 84696351u, 3735928559u};
  for (DWORD& part : parts) {
    for (char c : machineName) {
      part ^= static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
      part *= 16777619u;
    }
  }
  return parts;
}

// The sub-authorities of a well-formed NT-authority SID.
std::optional<std::vector<DWORD>> Parse(const void* sid) {
  if (!sid) return std::nullopt;
  auto bytes = static_cast<const BYTE*>(sid);
  if (bytes[0] != 1 || bytes[1] == 0 || bytes[1] > 15) return std::nullopt;
  static constexpr BYTE kAuthority[6] = {0, 0, 0, 0, 0, kNtAuthority};
  if (std::memcmp(bytes + 2, kAuthority, 6) != 0) return std::nullopt;
  std::vector<DWORD> subs(bytes[1]);
  std::memcpy(subs.data(), bytes + 8, 4 * subs.size());
  return subs;
}

}  // namespace

SidBytes MachineSid(std::string_view machineName, DWORD rid) {
  auto parts = DomainParts(machineName);
  return Build({kNonUniqueDomain, parts[0], parts[1], parts[2], rid});
}

SidBytes BuiltinSid(DWORD rid) { return Build({kBuiltinDomain, rid}); }

std::optional<DWORD> RidInMachineDomain(std::string_view machineName, const void* sid) {
  auto subs = Parse(sid);
  auto parts = DomainParts(machineName);
  if (!subs || subs->size() != 5 || (*subs)[0] != kNonUniqueDomain || (*subs)[1] != parts[0] ||
      (*subs)[2] != parts[1] || (*subs)[3] != parts[2])
    return std::nullopt;
  return (*subs)[4];
}

std::optional<DWORD> RidInBuiltin(const void* sid) {
  auto subs = Parse(sid);
  if (!subs || subs->size() != 2 || (*subs)[0] != kBuiltinDomain) return std::nullopt;
  return (*subs)[1];
}

}  // namespace velplat::accounts::detail
