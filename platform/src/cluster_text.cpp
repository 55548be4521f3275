#include "cluster_text.h"

#include <algorithm>

namespace velplat::cluster::detail {

std::string Narrow(LPCWSTR text) {
  std::string narrow;
  if (!text) return narrow;
  for (; *text; ++text) narrow.push_back(*text <= 0xFF ? static_cast<char>(*text) : '?');
  return narrow;
}

std::u16string Widen(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return wide;
}

DWORD CopyName(std::string_view text, LPWSTR buffer, LPDWORD length) {
  if (!length) return ERROR_INVALID_PARAMETER;
  const DWORD room = *length;
  *length = static_cast<DWORD>(text.size());
  if (!buffer) return ERROR_SUCCESS;
  if (room <= text.size()) return ERROR_MORE_DATA;
  std::u16string wide = Widen(text);
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = u'\0';
  return ERROR_SUCCESS;
}

void CopyField(std::string_view text, WCHAR* field, size_t capacity) {
  std::u16string wide = Widen(text.substr(0, std::min(text.size(), capacity - 1)));
  std::copy(wide.begin(), wide.end(), field);
  std::fill(field + wide.size(), field + capacity, u'\0');
}

}  // namespace velplat::cluster::detail
