// UTF-8 to UTF-16.
#include "setup/wide_text.h"

#include <cstring>
#include <string>

namespace velsetup {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point starting at text[i]; advances i past it.
char32_t Decode(const unsigned char* text, std::size_t length, std::size_t& i) {
  unsigned char lead = text[i++];
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (extra < 0) return kReplacement;
  char32_t value = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= length || (text[i] & 0xC0) != 0x80) return kReplacement;
    value = (value << 6) | (text[i++] & 0x3F);
  }
  bool overlong = (extra == 2 && value < 0x800) || (extra == 3 && value < 0x10000);
  bool invalid = value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF);
  return overlong || invalid ? kReplacement : value;
}

}  // namespace

WideText::WideText(const char* text) {
  if (!text) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const std::size_t length = std::strlen(text);
  std::u16string wide;
  for (std::size_t i = 0; i < length;) {
    char32_t c = Decode(bytes, length, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      wide += static_cast<char16_t>(0xD800 + (c >> 10));
      wide += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
  }
  block_ = LocalBlock((wide.size() + 1) * sizeof(WCHAR));
  if (!block_) {
    ok_ = false;
    return;
  }
  std::memcpy(block_.as<WCHAR>(), wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
}

}  // namespace velsetup
