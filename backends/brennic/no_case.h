// Name comparisons without regard to letter case, as the registry compares
// key names (ASCII letters fold; other bytes compare as they are).
//
// Pure functions; any thread.
#ifndef VELMON_BACKENDS_BRENNIC_NO_CASE_H
#define VELMON_BACKENDS_BRENNIC_NO_CASE_H

#include <cstddef>

namespace velmon::brennic {

inline char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether `text` begins with `prefix`, compared over the prefix's length.
inline bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (FoldCase(*text) != FoldCase(*prefix)) return false;  // also ends at text's terminator
  return true;
}

inline bool EqualsNoCase(const char* a, const char* b) { return StartsWithNoCase(a, b) && StartsWithNoCase(b, a); }

}  // namespace velmon::brennic

#endif
