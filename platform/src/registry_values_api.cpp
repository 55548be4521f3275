// Win32 shims for values: query, set, delete, enumerate. Data is handed over
// byte for byte in both directions: unlike Windows' A functions, no zero is
// added after unterminated string data in spare buffer room, and a buffer
// that is too small is left untouched.
#include "registry_handles.h"

#include <velplat/faults.h>

#include <cstring>

using namespace velplat::reg;

namespace {

std::string_view NameOrDefault(LPCSTR name) { return name ? std::string_view(name) : std::string_view(); }

LONG EnumValue(HKEY hKey, DWORD index, LPSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type, LPBYTE data,
               LPDWORD dataBytes) {
  if ((data && !dataBytes) || reserved || !name || !nameChars) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!open->Allows(KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Edit edit(*open->tree);
  const Key& key = *open->key;
  if (key.deleted) return ERROR_KEY_DELETED;
  if (index >= key.values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& value = key.values[index];
  // The data is checked first; the name only when the data fitted. Either
  // shortfall leaves the name buffer and its count as they were.
  LONG rc = ERROR_SUCCESS;
  if (data) {
    if (value.data.size() > *dataBytes)
      rc = ERROR_MORE_DATA;
    else if (!value.data.empty())
      std::memcpy(data, value.data.data(), value.data.size());
  }
  if (rc == ERROR_SUCCESS) {
    if (value.name.size() >= *nameChars) {
      rc = ERROR_MORE_DATA;
    } else {
      std::memcpy(name, value.name.c_str(), value.name.size() + 1);
      *nameChars = static_cast<DWORD>(value.name.size());
    }
  }
  if (type) *type = value.type;
  if (dataBytes) *dataBytes = static_cast<DWORD>(value.data.size());
  return rc;
}

}  // namespace

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
  if (auto error = velplat::faults::ConsumeCall("RegQueryValueExA")) return static_cast<LONG>(*error);
  if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!open->Allows(KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Edit edit(*open->tree);
  Key& key = *open->key;
  if (key.deleted) return ERROR_KEY_DELETED;
  const Value* value = key.FindValue(NameOrDefault(lpValueName));
  if (!value) return ERROR_FILE_NOT_FOUND;
  LONG rc = ERROR_SUCCESS;
  if (lpData) {
    if (value->data.size() > *lpcbData)
      rc = ERROR_MORE_DATA;
    else if (!value->data.empty())
      std::memcpy(lpData, value->data.data(), value->data.size());
  }
  if (lpType) *lpType = value->type;
  if (lpcbData) *lpcbData = static_cast<DWORD>(value->data.size());
  return rc;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (auto error = velplat::faults::ConsumeCall("RegSetValueExA")) return static_cast<LONG>(*error);
  if (!lpData && cbData) return ERROR_NOACCESS;
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!open->Allows(KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<BYTE> bytes(lpData, lpData + cbData);
  Edit edit(*open->tree);
  return SetValue(edit, *open->key, NameOrDefault(lpValueName), dwType, std::move(bytes));
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  if (auto error = velplat::faults::ConsumeCall("RegDeleteValueA")) return static_cast<LONG>(*error);
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!open->Allows(KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  Edit edit(*open->tree);
  return DeleteValue(edit, *open->key, NameOrDefault(lpValueName));
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (auto error = velplat::faults::ConsumeCall("RegEnumValueA")) return static_cast<LONG>(*error);
  return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData);
}
