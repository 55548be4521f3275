// The message formatter behind FormatMessageA and the event log's text:
// expands a message text's inserts (%1 .. %99, each with an optional
// !printf format!, default !s!) and escapes (%n CR LF, %r CR, %t tab, %0 end
// of output, %x any other character x), turns the text's own line breaks into
// CR LF, and applies the line-width rules of FORMAT_MESSAGE_MAX_WIDTH_MASK.
//
// Numeric conversions follow Windows widths: d, i, u, x, X, o, c and their
// h/l forms take 32 bits; ll and I64 take 64. s is a narrow string; S, ls and
// ws a UTF-16 string (written as UTF-8). '*' widths and floating-point
// conversions are not supported (ERROR_INVALID_PARAMETER).
//
// Thread-safety: plain functions; an InsertArguments object is used by one
// call at a time.
#ifndef VELPLAT_SRC_MESSAGE_FORMAT_H
#define VELPLAT_SRC_MESSAGE_FORMAT_H

#include <winapi/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace velplat::messages {

// The values of inserts, one machine word each (a number or a pointer).
class InsertArguments {
 public:
  virtual ~InsertArguments() = default;
  // The value of insert `number` (1 .. 99); null when there is none.
  virtual std::optional<DWORD_PTR> Get(unsigned number) = 0;
};

enum class Inserts {
  Expand,  // replace inserts by their arguments
  Keep,    // copy insert sequences unchanged (FORMAT_MESSAGE_IGNORE_INSERTS)
};

enum class MissingInsert {
  Fail,          // an insert without an argument fails the call
  KeepAsWritten  // it stays in the text as written (the event log's way)
};

struct FormatOptions {
  Inserts inserts = Inserts::Expand;
  MissingInsert missing = MissingInsert::Fail;
  // 0: the text's line breaks become CR LF; 0xFF: they become spaces;
  // otherwise, as 0xFF and lines are wrapped at this width.
  unsigned maxWidth = 0;
};

struct Formatted {
  DWORD error = 0;  // 0 on success, else a system error code
  std::string text;
};

// `arguments` may be null: then any insert to expand is missing.
Formatted FormatText(std::string_view source, const FormatOptions& options, InsertArguments* arguments);

}  // namespace velplat::messages

#endif
