// Win32 calls on file names: DeleteFileA, CreateDirectoryA,
// GetFileAttributesA, and the Windows and system directories.
#include <windows.h>
#include <winapi/files.h>

#include <cstring>
#include <string>

#include "files_store.h"
#include "kernel_faults.h"

namespace {

using velplat::files::FileSystem;
using velplat::files::WinPath;
using velplat::kernel::CallFailsByInjection;

BOOL Result(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

std::string WindowsDirectory() {
  velplat::Machine& local = velplat::World::Get().Local();
  if (auto root = local.GetEnv("SystemRoot")) return *root;
  if (auto windir = local.GetEnv("windir")) return *windir;
  return "C:\\WINNT";
}

// The Windows convention for directory queries: the length on success, the
// size needed (terminator included) when the buffer is too small.
UINT CopyOut(const std::string& text, LPSTR buffer, UINT size) {
  auto length = static_cast<UINT>(text.size());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return length;
}

}  // namespace

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  if (CallFailsByInjection("DeleteFileA")) return FALSE;
  return Result(velplat::files::WithLocalPath(lpFileName, [](FileSystem& fs, const WinPath& path) {
    return fs.Delete(path);
  }));
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
  if (CallFailsByInjection("CreateDirectoryA")) return FALSE;
  return Result(velplat::files::WithLocalPath(lpPathName, [](FileSystem& fs, const WinPath& path) {
    return fs.CreateDirectory(path);
  }));
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  if (CallFailsByInjection("GetFileAttributesA")) return INVALID_FILE_ATTRIBUTES;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  DWORD error = velplat::files::WithLocalPath(lpFileName, [&](FileSystem& fs, const WinPath& path) {
    return fs.Attributes(path, attributes);
  });
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  return attributes;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (CallFailsByInjection("GetWindowsDirectoryA")) return 0;
  return CopyOut(WindowsDirectory(), lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (CallFailsByInjection("GetSystemDirectoryA")) return 0;
  return CopyOut(WindowsDirectory() + "\\system32", lpBuffer, uSize);
}
