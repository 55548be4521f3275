// CreateFileA and the calls on its handles: ReadFile, WriteFile,
// SetFilePointer, GetFileSize. A handle is a kernel object owning one open of
// the file; CloseHandle drops it and with it the open's share reservation.
#include <windows.h>
#include <winapi/files.h>

#include "files_store.h"
#include "kernel_faults.h"
#include "kernel_object.h"

namespace {

using velplat::files::OpenFile;
using velplat::kernel::CallFailsByInjection;

class FileHandle : public velplat::kernel::Object {
 public:
  explicit FileHandle(std::unique_ptr<OpenFile> file) : file_(std::move(file)) {}
  OpenFile& File() { return *file_; }

 private:
  std::unique_ptr<OpenFile> file_;
};

unsigned RightsOf(DWORD desiredAccess) {
  unsigned rights = 0;
  if (desiredAccess & (GENERIC_READ | GENERIC_ALL)) rights |= velplat::files::kRead;
  if (desiredAccess & (GENERIC_WRITE | GENERIC_ALL)) rights |= velplat::files::kWrite;
  if (desiredAccess & (DELETE | GENERIC_ALL)) rights |= velplat::files::kDelete;
  return rights;
}

std::optional<velplat::files::Disposition> DispositionOf(DWORD value) {
  using velplat::files::Disposition;
  switch (value) {
    case CREATE_NEW: return Disposition::CreateNew;
    case CREATE_ALWAYS: return Disposition::CreateAlways;
    case OPEN_EXISTING: return Disposition::OpenExisting;
    case OPEN_ALWAYS: return Disposition::OpenAlways;
    case TRUNCATE_EXISTING: return Disposition::TruncateExisting;
    default: return std::nullopt;
  }
}

// The open behind a file handle, or null with ERROR_INVALID_HANDLE set.
std::shared_ptr<FileHandle> Lookup(HANDLE handle) {
  auto file = velplat::kernel::LookupHandleAs<FileHandle>(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                          DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) {
  if (CallFailsByInjection("CreateFileA")) return INVALID_HANDLE_VALUE;
  auto disposition = DispositionOf(dwCreationDisposition);
  unsigned rights = RightsOf(dwDesiredAccess);
  if (!lpFileName || !disposition ||
      (*disposition == velplat::files::Disposition::TruncateExisting && !(rights & velplat::files::kWrite))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  velplat::files::WinPath path;
  if (DWORD error = velplat::files::ParsePath(lpFileName, path)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  auto opened = velplat::files::FileSystemOf().Open(path, rights, dwShareMode & velplat::files::kAllRights,
                                                    *disposition);
  if (opened.error != ERROR_SUCCESS) {
    SetLastError(opened.error);
    return INVALID_HANDLE_VALUE;
  }
  bool reportsExisting = opened.existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                            dwCreationDisposition == OPEN_ALWAYS);
  HANDLE handle = velplat::kernel::InsertHandle(std::make_shared<FileHandle>(std::move(opened.file)));
  SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (CallFailsByInjection("ReadFile")) return FALSE;
  if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead > 0)) return Fail(ERROR_INVALID_PARAMETER);
  auto handle = Lookup(hFile);
  if (!handle) return FALSE;
  DWORD done = 0;
  if (DWORD error = handle->File().Read(lpBuffer, nNumberOfBytesToRead, done)) return Fail(error);
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (CallFailsByInjection("WriteFile")) return FALSE;
  if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite > 0)) return Fail(ERROR_INVALID_PARAMETER);
  auto handle = Lookup(hFile);
  if (!handle) return FALSE;
  DWORD done = 0;
  if (DWORD error = handle->File().Write(lpBuffer, nNumberOfBytesToWrite, done)) return Fail(error);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  if (CallFailsByInjection("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  auto handle = Lookup(hFile);
  if (!handle) return INVALID_SET_FILE_POINTER;
  int64_t distance = lDistanceToMove;
  if (lpDistanceToMoveHigh)
    distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                    static_cast<uint32_t>(lDistanceToMove));
  // Without the high half, a position beyond 32 bits cannot be reported.
  uint64_t limit = lpDistanceToMoveHigh ? UINT64_MAX : 0xFFFFFFFFu;
  uint64_t position = 0;
  if (DWORD error = handle->File().Seek(distance, dwMoveMethod, limit, position)) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
  auto low = static_cast<DWORD>(position);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
  return low;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  if (CallFailsByInjection("GetFileSize")) return INVALID_FILE_SIZE;
  auto handle = Lookup(hFile);
  if (!handle) return INVALID_FILE_SIZE;
  uint64_t size = handle->File().Size();
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  auto low = static_cast<DWORD>(size);
  if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
  return low;
}
