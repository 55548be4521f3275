// Conversion of .reg string data between single bytes and UTF-16LE.
#include "registry_regtext.h"

#include <cstdio>

namespace velplat::reg::regtext {

std::vector<BYTE> ToUtf16(const std::vector<BYTE>& narrow) {
  std::vector<BYTE> wide;
  wide.reserve(narrow.size() * 2);
  for (BYTE b : narrow) {
    wide.push_back(b);
    wide.push_back(0);
  }
  return wide;
}

std::optional<std::vector<BYTE>> FromUtf16(const std::vector<BYTE>& wide, std::string& error) {
  if (wide.size() % 2 != 0) {
    error = "UTF-16 string data has an odd number of bytes";
    return std::nullopt;
  }
  std::vector<BYTE> narrow;
  narrow.reserve(wide.size() / 2);
  for (size_t i = 0; i < wide.size(); i += 2) {
    if (wide[i + 1] != 0) {
      char unit[16];
      std::snprintf(unit, sizeof unit, "U+%02X%02X", wide[i + 1], wide[i]);
      error = std::string("character ") + unit + " has no single-byte form";
      return std::nullopt;
    }
    narrow.push_back(wide[i]);
  }
  return narrow;
}

}  // namespace velplat::reg::regtext
