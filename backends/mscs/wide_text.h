// Conversions between the cluster API's wide strings and the agent's
// single-byte text, through the standard library's conversions of the
// current locale. The copies come from the agent heap (AgentAlloc); the
// caller releases them with AgentFree. Any thread.
#ifndef VELMON_BACKENDS_MSCS_WIDE_TEXT_H
#define VELMON_BACKENDS_MSCS_WIDE_TEXT_H

#include <windows.h>

// A wide string literal of WCHAR: wchar_t on Windows, char16_t here.
#ifdef _WIN32
#define VELMON_WIDE(text) L##text
#else
#define VELMON_WIDE(text) u##text
#endif

namespace velmon::mscs {

// Single-byte copy of at most as many bytes as `wide` has characters,
// terminated; conversion stops before a character that has no form in the
// locale or would not fit. Null for a null source or when memory runs out.
char* WideToNarrow(const WCHAR* wide);
// Wide copy, terminator included; conversion stops at a byte sequence that
// is not valid in the locale. Null for a null source or when memory runs out.
WCHAR* NarrowToWide(const char* narrow);

// The first character of a wide text as one byte, or '\0' when it has no
// single-byte form.
char FirstCharacter(const WCHAR* wide);

}  // namespace velmon::mscs

#endif
