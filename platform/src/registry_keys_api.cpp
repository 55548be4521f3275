// Win32 shims for keys: open, create, close, connect, delete, enumerate.
// Opening, creating and deleting below a handle need no right on it: Windows
// checks the keys' security there, which is not modelled (everything is
// allowed). Keys have no class and a zero last-write time.
#include "registry_handles.h"
#include "registry_notify.h"

#include <velplat/faults.h>
#include <velplat/world.h>

#include <cstring>

using namespace velplat::reg;

namespace {

bool Empty(LPCSTR text) { return !text || !*text; }

// Opens, or with `create` creates, `subKey` below `hKey` as a new handle.
LONG OpenBelow(HKEY hKey, LPCSTR subKey, REGSAM access, bool create, PHKEY result, LPDWORD disposition) {
  *result = nullptr;
  auto base = Resolve(hKey);
  if (!base) return ERROR_INVALID_HANDLE;
  auto parts = SplitPath(subKey ? subKey : "");
  if (!parts) return ERROR_BAD_PATHNAME;
  auto opened = std::make_shared<OpenKey>();
  opened->tree = base->tree;
  opened->access = MapAccess(access);
  {
    Edit edit(*base->tree);
    if (base->key->deleted) return ERROR_KEY_DELETED;
    if (create) {
      bool created = false;
      LONG rc = CreateKey(edit, base->key, *parts, opened->key, created);
      if (rc != ERROR_SUCCESS) return rc;
      if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    } else {
      opened->key = FindKey(base->key, *parts);
      if (!opened->key) return ERROR_FILE_NOT_FOUND;
    }
  }
  *result = Publish(std::move(opened));
  return ERROR_SUCCESS;
}

LONG OpenKeyEx(HKEY hKey, LPCSTR subKey, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  // A predefined key with no subkey is handed back as it is.
  if (Empty(subKey) && PredefinedHive(hKey)) {
    *result = hKey;
    return ERROR_SUCCESS;
  }
  return OpenBelow(hKey, subKey, access, false, result, nullptr);
}

LONG EnumKey(HKEY hKey, DWORD index, LPSTR name, LPDWORD nameChars, LPDWORD reserved, LPSTR className,
             LPDWORD classChars, PFILETIME lastWrite) {
  if (reserved || !name || !nameChars) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!open->Allows(KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  Edit edit(*open->tree);
  const Key& key = *open->key;
  if (key.deleted) return ERROR_KEY_DELETED;
  const Key* subkey = key.subkeys.At(index);
  if (!subkey) return ERROR_NO_MORE_ITEMS;
  const std::string& subName = subkey->name;
  // Keys have no class; the buffer must still hold its terminator.
  if (subName.size() >= *nameChars || (className && classChars && *classChars == 0)) return ERROR_MORE_DATA;
  std::memcpy(name, subName.c_str(), subName.size() + 1);
  *nameChars = static_cast<DWORD>(subName.size());
  if (classChars) {
    *classChars = 0;
    if (className) className[0] = '\0';
  }
  if (lastWrite) *lastWrite = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (auto error = velplat::faults::ConsumeCall("RegOpenKeyExA")) return static_cast<LONG>(*error);
  return OpenKeyEx(hKey, lpSubKey, samDesired, phkResult);
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (auto error = velplat::faults::ConsumeCall("RegOpenKeyA")) return static_cast<LONG>(*error);
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  if (Empty(lpSubKey)) {
    // The old call hands back the very handle it was given.
    if (!Resolve(hKey)) return ERROR_INVALID_HANDLE;
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  return OpenKeyEx(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR, DWORD, REGSAM samDesired,
                            const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (auto error = velplat::faults::ConsumeCall("RegCreateKeyExA")) return static_cast<LONG>(*error);
  if (Reserved || !phkResult) return ERROR_INVALID_PARAMETER;
  return OpenBelow(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (auto error = velplat::faults::ConsumeCall("RegCreateKeyA")) return static_cast<LONG>(*error);
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  if (Empty(lpSubKey) && PredefinedHive(hKey)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  return OpenBelow(hKey, lpSubKey, MAXIMUM_ALLOWED, true, phkResult, nullptr);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  if (auto error = velplat::faults::ConsumeCall("RegCloseKey")) return static_cast<LONG>(*error);
  if (PredefinedHive(hKey)) return ERROR_SUCCESS;
  auto open = Withdraw(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  Edit edit(*open->tree);
  open->closed = true;
  ReportHandleClosed(edit, *open->key, open.get());
  return ERROR_SUCCESS;
}

LONG WINAPI RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult) {
  if (auto error = velplat::faults::ConsumeCall("RegConnectRegistryA")) return static_cast<LONG>(*error);
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  auto hive = PredefinedHive(hKey);
  if (!hive || (*hive != Hive::LocalMachine && *hive != Hive::Users)) return ERROR_INVALID_HANDLE;
  if (Empty(lpMachineName)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  velplat::Machine* machine = velplat::World::Get().Find(lpMachineName);
  if (!machine) return ERROR_BAD_NETPATH;
  *phkResult = Publish(OpenHive(*machine, *hive));
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (auto error = velplat::faults::ConsumeCall("RegDeleteKeyA")) return static_cast<LONG>(*error);
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  auto parts = SplitPath(lpSubKey);
  if (!parts) return ERROR_BAD_PATHNAME;
  Edit edit(*open->tree);
  if (open->key->deleted) return ERROR_KEY_DELETED;
  auto target = FindKey(open->key, *parts);
  if (!target) return ERROR_FILE_NOT_FOUND;
  return DeleteKey(edit, *target);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  if (auto error = velplat::faults::ConsumeCall("RegEnumKeyExA")) return static_cast<LONG>(*error);
  return EnumKey(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  if (auto error = velplat::faults::ConsumeCall("RegEnumKeyA")) return static_cast<LONG>(*error);
  return EnumKey(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr, nullptr);
}
