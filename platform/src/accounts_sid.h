// Security identifiers of the simulated accounts. Each machine has its own
// account domain S-1-5-21-x-y-z (derived from its name, so stable and distinct
// per machine); its users and own local groups are that domain plus a
// relative identifier. Built-in groups lie in S-1-5-32.
// Thread-safety: pure functions.
#ifndef VELPLAT_SRC_ACCOUNTS_SID_H
#define VELPLAT_SRC_ACCOUNTS_SID_H

#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

namespace velplat::accounts::detail {

using SidBytes = std::vector<BYTE>;

SidBytes MachineSid(std::string_view machineName, DWORD rid);
SidBytes BuiltinSid(DWORD rid);

// The relative identifier of a caller's SID when it lies in that domain.
// The SID is trusted to be as long as its sub-authority count says.
std::optional<DWORD> RidInMachineDomain(std::string_view machineName, const void* sid);
std::optional<DWORD> RidInBuiltin(const void* sid);

}  // namespace velplat::accounts::detail

#endif
