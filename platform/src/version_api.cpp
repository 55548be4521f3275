// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA over the
// version blocks that files of the local machine carry.
#include <windows.h>
#include <winver.h>

#include <cstring>

#include "files_store.h"
#include "kernel_faults.h"
#include "version_block.h"

namespace {

using velplat::kernel::CallFailsByInjection;

// The file's version block, or the Win32 error that stands for its absence.
// The file is read as the loader would map it: shared with other readers.
DWORD ReadBlock(LPCSTR fileName, std::string& block) {
  if (!fileName) return ERROR_INVALID_PARAMETER;
  velplat::files::WinPath path;
  if (DWORD error = velplat::files::ParsePath(fileName, path)) return error;
  auto opened = velplat::files::FileSystemOf().Open(path, velplat::files::kRead, FILE_SHARE_READ,
                                                    velplat::files::Disposition::OpenExisting);
  if (opened.error != ERROR_SUCCESS) return opened.error;
  std::string bytes = opened.file->Snapshot();
  auto found = velplat::version::FindBlock(bytes);
  if (!found) return ERROR_RESOURCE_DATA_NOT_FOUND;
  block.assign(*found);
  return ERROR_SUCCESS;
}

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
  if (lpdwHandle) *lpdwHandle = 0;
  if (CallFailsByInjection("GetFileVersionInfoSizeA")) return 0;
  std::string block;
  if (DWORD error = ReadBlock(lptstrFilename, block)) {
    SetLastError(error);
    return 0;
  }
  return static_cast<DWORD>(block.size());
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD /*dwHandle*/, DWORD dwLen, LPVOID lpData) {
  if (CallFailsByInjection("GetFileVersionInfoA")) return FALSE;
  std::string block;
  DWORD error = lpData ? ReadBlock(lptstrFilename, block) : static_cast<DWORD>(ERROR_INVALID_PARAMETER);
  if (error == ERROR_SUCCESS && dwLen < block.size()) error = ERROR_INSUFFICIENT_BUFFER;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  std::memcpy(lpData, block.data(), block.size());
  return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen) {
  if (lplpBuffer) *lplpBuffer = nullptr;
  if (puLen) *puLen = 0;
  if (CallFailsByInjection("VerQueryValueA")) return FALSE;
  if (!pBlock || !lpSubBlock || !lplpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const char* block = static_cast<const char*>(pBlock);
  if (!velplat::version::IsBlock(block)) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  auto value = velplat::version::Query(block, lpSubBlock);
  if (!value) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  *lplpBuffer = const_cast<void*>(value->data);
  if (puLen) *puLen = value->length;
  return TRUE;
}
