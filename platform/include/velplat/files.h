// C++ control of the simulated file systems, for tests and the host daemon:
// put files on a machine, read them back, remove them, create directories,
// and build executables that carry a version resource (the one that
// GetFileVersionInfoA and VerQueryValueA read).
//
// Paths are absolute Windows paths with a drive letter, as for CreateFileA;
// names compare without regard to case. A null `machine` means the world's
// local machine. Results are Win32 error codes (ERROR_SUCCESS,
// ERROR_PATH_NOT_FOUND, ...). A new machine's file system holds nothing but
// its drive roots.
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_FILES_H
#define VELPLAT_FILES_H

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::files {

// Creates the file or replaces its bytes, creating missing directories. Open
// handles of a replaced file see the new bytes. ERROR_ACCESS_DENIED when the
// name is a directory, ERROR_PATH_NOT_FOUND when a file stands where a
// directory is needed, ERROR_INVALID_NAME for a malformed path.
DWORD PutFile(std::string_view path, std::string_view bytes, Machine* machine = nullptr);
// The file's bytes; nullopt when there is no such file.
std::optional<std::string> FileContents(std::string_view path, Machine* machine = nullptr);
// Removes the file whoever has it open (their handles keep the unnamed file).
// ERROR_FILE_NOT_FOUND, or ERROR_ACCESS_DENIED for a directory.
DWORD RemoveFile(std::string_view path, Machine* machine = nullptr);
// Creates the directory and every missing one above it.
DWORD MakeDirectories(std::string_view path, Machine* machine = nullptr);
// Removes an empty directory (never a drive root): ERROR_DIR_NOT_EMPTY,
// ERROR_FILE_NOT_FOUND, or ERROR_ACCESS_DENIED for a file or a root.
DWORD RemoveEmptyDirectory(std::string_view path, Machine* machine = nullptr);
// Every file and directory of the machine, directories ending in '\\', in
// name order (case-insensitive).
std::vector<std::string> Listing(Machine* machine = nullptr);

// A version resource: the fixed part (VS_FIXEDFILEINFO) and string tables.
struct VersionStringTable {
  // Eight hex digits: the language (4) then the code page (4), e.g.
  // "040904B0" for U.S. English in Unicode. The key of
  // "\StringFileInfo\<key>\..."; it also enters "\VarFileInfo\Translation".
  std::string langCodepage = "040904B0";
  std::vector<std::pair<std::string, std::string>> strings;  // name, value
};

struct VersionResource {
  std::array<WORD, 4> fileVersion{};     // 9.2.0.1 is {9, 2, 0, 1}
  std::array<WORD, 4> productVersion{};
  DWORD fileType = 1;                    // VFT_APP; 2 is VFT_DLL
  std::vector<VersionStringTable> tables;
};

// A resource with one table holding "FileVersion" and "ProductVersion"; the
// fixed versions take up to four leading numbers of each text ("9.2.0.1.0"
// gives 9.2.0.1, "2.1 SP3" gives 2.1.0.0).
VersionResource MakeVersionResource(std::string_view fileVersion, std::string_view productVersion,
                                    std::string_view langCodepage = "040904B0");
// The bytes of an executable image that carries `resource`. Throws
// std::invalid_argument for a table key that is not eight hex digits.
std::string ExecutableImage(const VersionResource& resource);
// PutFile of ExecutableImage(resource).
DWORD PutExecutable(std::string_view path, const VersionResource& resource, Machine* machine = nullptr);

}  // namespace velplat::files

#endif
