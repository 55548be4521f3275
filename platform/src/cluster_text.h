// Text at the cluster API boundary: the API speaks 16-bit wide strings, the
// simulated cluster and the registry hold single-byte text (code points up
// to 255 map one to one), and every name is handed out by one convention.
// Thread-safety: pure functions.
#ifndef VELPLAT_SRC_CLUSTER_TEXT_H
#define VELPLAT_SRC_CLUSTER_TEXT_H

#include <windows.h>

#include <string>
#include <string_view>

namespace velplat::cluster::detail {

// A wide name as single-byte text; characters above 255 become '?'. Null
// gives "".
std::string Narrow(LPCWSTR text);
std::u16string Widen(std::string_view text);

// Copies `text` and its terminator into `buffer`, whose room is *length
// characters, and sets *length to the text's length without the terminator.
// ERROR_MORE_DATA (nothing copied) when it does not fit; a null buffer only
// reports the length. ERROR_INVALID_PARAMETER for a null length.
DWORD CopyName(std::string_view text, LPWSTR buffer, LPDWORD length);

// Copies a wide text into a fixed field of `capacity` characters, cut to
// leave room for the terminator.
void CopyField(std::string_view text, WCHAR* field, size_t capacity);

}  // namespace velplat::cluster::detail

#endif
