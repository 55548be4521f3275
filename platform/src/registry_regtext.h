// Facts of the .reg text format shared by import and export: the two header
// lines and the conversion of string data between the registry's single-byte
// form and the UTF-16LE form that Version 5 files use in hex(1), hex(2) and
// hex(7) data. Single bytes map to the code units of the same number
// (ISO 8859-1). Pure functions; thread-safe.
#ifndef VELPLAT_SRC_REGISTRY_REGTEXT_H
#define VELPLAT_SRC_REGISTRY_REGTEXT_H

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat::reg::regtext {

constexpr std::string_view kHeaderRegedit4 = "REGEDIT4";
constexpr std::string_view kHeaderVersion5 = "Windows Registry Editor Version 5.00";

inline bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<BYTE> ToUtf16(const std::vector<BYTE>& narrow);

// Nullopt, with the reason in `error`, for an odd byte count or a code unit
// above 0xFF.
std::optional<std::vector<BYTE>> FromUtf16(const std::vector<BYTE>& wide, std::string& error);

}  // namespace velplat::reg::regtext

#endif
