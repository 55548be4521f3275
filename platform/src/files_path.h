// Parsing of absolute Windows file paths for the simulated file system.
//
// A path is a drive ("C:") followed by names separated by '\' or '/'. Empty
// names (doubled separators) and "." are dropped, ".." removes the name before
// it and never climbs above the drive root. Names keep their spelling; the
// file system compares them without regard to case.
// Thread-safety: plain values and pure functions.
#ifndef VELPLAT_SRC_FILES_PATH_H
#define VELPLAT_SRC_FILES_PATH_H

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace velplat::files {

struct WinPath {
  std::string drive;               // "C:", the letter upper-cased
  std::vector<std::string> names;  // below the root, in order

  bool IsRoot() const { return names.empty(); }
  WinPath Parent() const;
  // "C:\dir\file"; the root is "C:\".
  std::string Text() const;
};

// ERROR_SUCCESS with `out` filled; ERROR_PATH_NOT_FOUND when there is no
// drive letter; ERROR_INVALID_NAME when a name holds one of <>:"|?* or a
// control character.
DWORD ParsePath(std::string_view text, WinPath& out);

}  // namespace velplat::files

#endif
