// UTF-16 to UTF-8, the platform's single-byte character set: message tables
// hold UTF-16 texts, the A functions hand out single-byte ones.
//
// Thread-safety: pure function.
#ifndef VELPLAT_SRC_MESSAGE_UTF16_H
#define VELPLAT_SRC_MESSAGE_UTF16_H

#include <string>
#include <string_view>

namespace velplat::messages {

// Unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace velplat::messages

#endif
