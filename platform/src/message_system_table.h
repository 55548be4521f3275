// The system message table: the English texts that the system gives for its
// error codes (FormatMessage with FORMAT_MESSAGE_FROM_SYSTEM). Each text ends
// in CR LF, as the system's texts do.
//
// Thread-safety: constant data.
#ifndef VELPLAT_SRC_MESSAGE_SYSTEM_TABLE_H
#define VELPLAT_SRC_MESSAGE_SYSTEM_TABLE_H

#include <winapi/types.h>

#include <optional>
#include <string_view>

namespace velplat::messages {

// The text of system error `code`; null for a code without a text.
std::optional<std::string_view> SystemText(DWORD code);

}  // namespace velplat::messages

#endif
