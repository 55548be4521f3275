/* Win32 registry subset: predefined keys, access rights, value types, the
 * A-functions the product calls and change notification, with the SDK's names
 * and values. Every function returns a Win32 error code (ERROR_SUCCESS on
 * success) and may be called from any thread.
 *
 * The keys live in the simulated world: the predefined handles name the hives
 * of the local machine, RegConnectRegistryA reaches another machine of the
 * world. Names are case-insensitive and case-preserving, subkeys enumerate in
 * case-insensitive alphabetical order, values in creation order, and value
 * data is kept exactly as given (nothing is added or stripped). */
#ifndef VELPLAT_WINAPI_REGISTRY_H
#define VELPLAT_WINAPI_REGISTRY_H

#include "types.h"
#include "access.h"

typedef LONG LSTATUS;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

/* Standard and generic rights; other modules may define the same values. */

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L

#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#define REG_NOTIFY_CHANGE_NAME 0x00000001L
#define REG_NOTIFY_CHANGE_ATTRIBUTES 0x00000002L
#define REG_NOTIFY_CHANGE_LAST_SET 0x00000004L
#define REG_NOTIFY_CHANGE_SECURITY 0x00000008L
#define REG_NOTIFY_THREAD_AGNOSTIC 0x10000000L
#define REG_LEGAL_CHANGE_FILTER 0x0000000FL

/* Registry error codes that winapi/errors.h does not carry. */
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_NOTIFY_CLEANUP
#define ERROR_NOTIFY_CLEANUP 745L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

VELPLAT_API LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
VELPLAT_API LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                      PHKEY phkResult);
VELPLAT_API LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
VELPLAT_API LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                        REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                        PHKEY phkResult, LPDWORD lpdwDisposition);
VELPLAT_API LONG WINAPI RegCloseKey(HKEY hKey);
VELPLAT_API LONG WINAPI RegConnectRegistryA(LPCSTR lpMachineName, HKEY hKey, PHKEY phkResult);
VELPLAT_API LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);

VELPLAT_API LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                         LPBYTE lpData, LPDWORD lpcbData);
VELPLAT_API LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                       const BYTE* lpData, DWORD cbData);
VELPLAT_API LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

VELPLAT_API LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
VELPLAT_API LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
VELPLAT_API LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

/* One change of the key (or, with bWatchSubtree, of anything below it) ends
 * the registration. Asynchronous: returns at once and signals hEvent, which
 * the call resets first. Synchronous: blocks until the change. Closing the
 * handle or deleting the key ends a pending registration too. */
VELPLAT_API LONG WINAPI RegNotifyChangeKeyValue(HKEY hKey, BOOL bWatchSubtree, DWORD dwNotifyFilter, HANDLE hEvent,
                                                BOOL fAsynchronous);

#endif
