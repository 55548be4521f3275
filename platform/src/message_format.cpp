// Expansion of message texts: inserts, escapes, line breaks and line width.
#include "message_format.h"

#include "message_utf16.h"

#include <winapi/errors.h>

#include <cstdio>

namespace velplat::messages {
namespace {

constexpr unsigned kNoLineBreaks = 0xFF;
constexpr unsigned kMaxFieldWidth = 32767;  // longer than any message can be

// The formatted text, wrapped at the line width as the text is appended.
class Output {
 public:
  explicit Output(unsigned maxWidth) : width_(maxWidth) {}

  void Text(std::string_view text) {
    for (char c : text) Char(c);
  }

  void Char(char c) {
    out_ += c;
    if (width_ != 0 && width_ != kNoLineBreaks && out_.size() - lineStart_ >= width_) Wrap();
  }

  // A break that the text asks for with %n or %r: always written.
  void HardBreak(std::string_view breakText) {
    out_ += breakText;
    lineStart_ = out_.size();
  }

  // A line break of the text itself: kept without a line width, else a space.
  void TextLineBreak() {
    if (width_ == 0)
      HardBreak("\r\n");
    else
      Char(' ');
  }

  std::string Take() { return std::move(out_); }

 private:
  // The current line has reached the width: break it at its last space,
  // dropping the spaces before the break, or right here if it has none.
  void Wrap() {
    const size_t space = out_.find_last_of(' ');
    if (space == std::string::npos || space < lineStart_) {
      HardBreak("\r\n");
      return;
    }
    size_t cut = space;
    while (cut > lineStart_ && out_[cut - 1] == ' ') --cut;
    std::string rest = out_.substr(space + 1);
    out_.resize(cut);
    HardBreak("\r\n");
    out_ += rest;
  }

  unsigned width_;
  std::string out_;
  size_t lineStart_ = 0;
};

// A parsed "!format!" of an insert.
struct Conversion {
  std::string flags;
  std::string width;      // digits, may be empty
  std::string precision;  // "." and digits, may be empty
  bool is64 = false;      // ll, I64
  bool isShort = false;   // h
  bool wide = false;      // l or w before s/c, or S/C
  char type = 's';
};

// Reads the digits at `at` into `out`; false for a field wider than any
// message can be.
bool Digits(std::string_view text, size_t& at, std::string& out) {
  unsigned value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[at] - '0');
    if (value > kMaxFieldWidth) return false;
    out += text[at++];
  }
  return true;
}

std::optional<Conversion> ParseConversion(std::string_view shape) {
  Conversion c;
  size_t at = 0;
  while (at < shape.size() && std::string_view("-+ #0").find(shape[at]) != std::string_view::npos) c.flags += shape[at++];
  if (!Digits(shape, at, c.width)) return std::nullopt;
  if (at < shape.size() && shape[at] == '.') {
    c.precision.push_back('.');
    ++at;
    if (!Digits(shape, at, c.precision)) return std::nullopt;
  }
  const std::string_view rest = shape.substr(at);
  std::string_view size;
  for (std::string_view candidate : {"I64", "I32", "ll", "l", "h", "w"}) {
    if (rest.substr(0, candidate.size()) == candidate) {
      size = candidate;
      break;
    }
  }
  if (rest.size() != size.size() + 1) return std::nullopt;
  c.type = rest.back();
  if (std::string_view("diuxXocCsSp").find(c.type) == std::string_view::npos) return std::nullopt;
  c.is64 = size == "I64" || size == "ll";
  c.isShort = size == "h";
  c.wide = c.type == 'S' || c.type == 'C' || ((size == "l" || size == "w") && (c.type == 's' || c.type == 'c'));
  return c;
}

// printf with a format assembled from a parsed, validated Conversion.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
std::string Printf(const std::string& format, long long value) {
  const int n = std::snprintf(nullptr, 0, format.c_str(), value);
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format.c_str(), value);
  return out;
}
std::string Printf(const std::string& format, unsigned long long value) {
  const int n = std::snprintf(nullptr, 0, format.c_str(), value);
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format.c_str(), value);
  return out;
}
std::string Printf(const std::string& format, const char* value) {
  const int n = std::snprintf(nullptr, 0, format.c_str(), value);
  std::string out(static_cast<size_t>(n), '\0');
  std::snprintf(out.data(), out.size() + 1, format.c_str(), value);
  return out;
}
#pragma GCC diagnostic pop

std::u16string_view WideString(const char16_t* text) {
  size_t length = 0;
  while (text[length]) ++length;
  return {text, length};
}

std::string Convert(const Conversion& c, DWORD_PTR value) {
  const std::string head = "%" + c.flags + c.width;
  switch (c.type) {
    case 'd':
    case 'i': {
      const long long number = c.is64    ? static_cast<long long>(value)
                               : c.isShort ? static_cast<short>(value)
                                           : static_cast<int32_t>(value);
      return Printf(head + c.precision + "lld", number);
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
      const unsigned long long number = c.is64    ? static_cast<unsigned long long>(value)
                                        : c.isShort ? static_cast<unsigned short>(value)
                                                    : static_cast<uint32_t>(value);
      return Printf(head + c.precision + "ll" + c.type, number);
    }
    case 'c':
    case 'C': {
      std::string character;
      if (c.wide) {
        const char16_t wide[2] = {static_cast<char16_t>(value), 0};
        character = Utf8FromUtf16(std::u16string_view(wide, 1));
      } else {
        character = std::string(1, static_cast<char>(value));
      }
      return Printf(head + "s", character.c_str());
    }
    case 'p':
      return Printf(head + "s", Printf("%016llX", static_cast<unsigned long long>(value)).c_str());
    default: {  // s, S
      if (value == 0) return Printf(head + c.precision + "s", "(null)");
      if (c.wide) {
        const std::string text = Utf8FromUtf16(WideString(reinterpret_cast<const char16_t*>(value)));
        return Printf(head + c.precision + "s", text.c_str());
      }
      return Printf(head + c.precision + "s", reinterpret_cast<const char*>(value));
    }
  }
}

}  // namespace

Formatted FormatText(std::string_view source, const FormatOptions& options, InsertArguments* arguments) {
  Output out(options.maxWidth);
  size_t at = 0;
  while (at < source.size()) {
    const char c = source[at];
    if (c == '\r' || c == '\n') {
      at += (c == '\r' && at + 1 < source.size() && source[at + 1] == '\n') ? 2 : 1;
      out.TextLineBreak();
      continue;
    }
    if (c != '%') {
      out.Char(c);
      ++at;
      continue;
    }
    if (at + 1 >= source.size()) return {ERROR_INVALID_PARAMETER, {}};  // a lone '%' at the end
    const char escape = source[at + 1];
    if (escape >= '1' && escape <= '9') {
      // An insert: one or two digits, then an optional !format!.
      size_t end = at + 2;
      unsigned number = static_cast<unsigned>(escape - '0');
      if (end < source.size() && source[end] >= '0' && source[end] <= '9')
        number = number * 10 + static_cast<unsigned>(source[end++] - '0');
      std::string_view shape = "s";
      if (end < source.size() && source[end] == '!') {
        const size_t close = source.find('!', end + 1);
        if (close == std::string_view::npos) {
          if (options.inserts == Inserts::Keep) {
            out.Text(source.substr(at));
            break;
          }
          return {ERROR_INVALID_PARAMETER, {}};
        }
        shape = source.substr(end + 1, close - end - 1);
        end = close + 1;
      }
      const std::string_view written = source.substr(at, end - at);
      at = end;
      if (options.inserts == Inserts::Keep) {
        out.Text(written);
        continue;
      }
      const auto conversion = ParseConversion(shape);
      if (!conversion) return {ERROR_INVALID_PARAMETER, {}};
      const std::optional<DWORD_PTR> value = arguments ? arguments->Get(number) : std::nullopt;
      if (!value) {
        if (options.missing == MissingInsert::Fail) return {ERROR_INVALID_PARAMETER, {}};
        out.Text(written);
        continue;
      }
      out.Text(Convert(*conversion, *value));
      continue;
    }
    at += 2;
    switch (escape) {
      case '0':
        return {0, out.Take()};
      case 'n':
        out.HardBreak("\r\n");
        break;
      case 'r':
        out.HardBreak("\r");
        break;
      case 't':
        out.Char('\t');
        break;
      default:
        // Any other character stands for itself (%% . ! and space included);
        // with inserts ignored, the sequence is copied as written.
        if (options.inserts == Inserts::Keep) out.Char('%');
        out.Char(escape);
        break;
    }
  }
  return {0, out.Take()};
}

}  // namespace velplat::messages
