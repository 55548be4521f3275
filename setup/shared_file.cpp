// The shared, appending file of the setup log.
#include "setup/shared_file.h"

namespace velsetup {

SharedFile::~SharedFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

DWORD SharedFile::Open(const std::string& path, Disposition disposition) {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        disposition == Disposition::OpenExisting ? OPEN_EXISTING : OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ == INVALID_HANDLE_VALUE ? GetLastError() : NO_ERROR;
}

DWORD SharedFile::Append(std::string_view bytes) {
  if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  if (SetFilePointer(handle_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    return GetLastError();
  DWORD written = 0;
  if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return GetLastError();
  return NO_ERROR;
}

}  // namespace velsetup
