// The installer's Win32 functions: MsiGetPropertyA with its size convention,
// and MsiCloseHandle.
#include "installer_sessions.h"

#include <velplat/faults.h>

#include <algorithm>
#include <cstring>

UINT WINAPI MsiGetPropertyA(MSIHANDLE hInstall, LPCSTR szName, LPSTR szValueBuf, LPDWORD pcchValueBuf) {
  if (auto error = velplat::faults::ConsumeCall("MsiGetPropertyA")) return *error;
  auto& table = velplat::installer::detail::Sessions();
  std::lock_guard lock(table.mutex);
  auto it = table.sessions.find(hInstall);
  if (it == table.sessions.end()) return ERROR_INVALID_HANDLE;
  if (!szName || !pcchValueBuf) return ERROR_INVALID_PARAMETER;

  velplat::installer::PropertyQuery query;
  query.name = szName;
  query.hadBuffer = szValueBuf != nullptr;
  query.bufferChars = szValueBuf ? *pcchValueBuf : 0;

  auto found = it->second.properties.find(std::string_view(szName));
  std::string_view value = found == it->second.properties.end() ? std::string_view() : found->second;
  auto length = static_cast<DWORD>(value.size());
  UINT result = ERROR_SUCCESS;
  if (szValueBuf) {
    DWORD room = *pcchValueBuf;
    if (length >= room) result = ERROR_MORE_DATA;
    if (room > 0) {
      DWORD copied = std::min(length, room - 1);
      if (copied > 0) std::memcpy(szValueBuf, value.data(), copied);
      szValueBuf[copied] = '\0';
    }
  }
  *pcchValueBuf = length;

  query.result = result;
  query.reportedChars = length;
  it->second.queries.push_back(std::move(query));
  return result;
}

UINT WINAPI MsiCloseHandle(MSIHANDLE hAny) {
  if (hAny == 0) return ERROR_SUCCESS;
  return velplat::installer::CloseSession(hAny) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
