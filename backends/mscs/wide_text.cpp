#include "backends/mscs/wide_text.h"

#include "agent/agent_heap.h"

#include <climits>
#include <cstring>
#include <cuchar>

namespace velmon::mscs {
namespace {

size_t WideLength(const WCHAR* wide) {
  size_t length = 0;
  while (wide[length]) ++length;
  return length;
}

}  // namespace

char* WideToNarrow(const WCHAR* wide) {
  if (!wide) return nullptr;
  const size_t length = WideLength(wide);
  auto* narrow = static_cast<char*>(AgentAlloc(length + 1));  // zero-filled: always terminated
  if (!narrow) return nullptr;
  std::mbstate_t state{};
  size_t written = 0;
  for (size_t i = 0; i < length; ++i) {
    char bytes[MB_LEN_MAX];
    const size_t count = std::c16rtomb(bytes, wide[i], &state);
    if (count == static_cast<size_t>(-1) || written + count > length) break;
    std::memcpy(narrow + written, bytes, count);
    written += count;
  }
  return narrow;
}

WCHAR* NarrowToWide(const char* narrow) {
  if (!narrow) return nullptr;
  const size_t length = std::strlen(narrow);
  auto* wide = static_cast<WCHAR*>(AgentAlloc((length + 1) * sizeof(WCHAR)));
  if (!wide) return nullptr;
  std::mbstate_t state{};
  const char* at = narrow;
  const char* end = narrow + length;
  size_t written = 0;
  while (written < length) {
    char16_t c = 0;
    const size_t used = std::mbrtoc16(&c, at, static_cast<size_t>(end - at), &state);
    if (used == 0 || used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) break;
    wide[written++] = c;
    if (used != static_cast<size_t>(-3)) at += used;  // -3: the second half of a pair, no input used
  }
  return wide;
}

char FirstCharacter(const WCHAR* wide) {
  char bytes[MB_LEN_MAX];
  std::mbstate_t state{};
  return std::c16rtomb(bytes, wide[0], &state) == 1 ? bytes[0] : '\0';
}

}  // namespace velmon::mscs
