// Text conversion between the network management functions' UTF-16 strings
// and the platform's single-byte text (UTF-8).
// Thread-safety: pure functions.
#ifndef VELPLAT_SRC_ACCOUNTS_TEXT_H
#define VELPLAT_SRC_ACCOUNTS_TEXT_H

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace velplat::accounts::detail {

// Unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::u16string_view text);
// Invalid UTF-8 bytes become U+FFFD.
std::u16string WideFromUtf8(std::string_view text);
// A zero-terminated UTF-16 string, or nullopt for a null pointer.
std::optional<std::string> Utf8FromWide(const WCHAR* text);

}  // namespace velplat::accounts::detail

#endif
