// WideText: single-byte text converted to a UTF-16 string for the network
// management calls, in a block of the process heap. The platform's
// single-byte code page is UTF-8; a malformed byte becomes U+FFFD.
// Thread-safety: one owner.
#ifndef VELSETUP_WIDE_TEXT_H
#define VELSETUP_WIDE_TEXT_H

#include "setup/local_block.h"

#include <windows.h>

// A wide string literal of WCHAR: wchar_t on Windows, char16_t here.
#ifdef _WIN32
#define VELSETUP_WIDE(text) L##text
#else
#define VELSETUP_WIDE(text) u##text
#endif

namespace velsetup {

class WideText {
 public:
  // Null text gives a null string; ok() is false when the heap refused.
  explicit WideText(const char* text);
  bool ok() const { return ok_; }
  LPWSTR get() const { return block_.as<WCHAR>(); }

 private:
  LocalBlock block_;
  bool ok_ = true;
};

}  // namespace velsetup

#endif
