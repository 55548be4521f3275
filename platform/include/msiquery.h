/* Windows Installer: the property query that a custom action makes through
 * the installation handle it was given, with the SDK's names and values.
 *
 * Installation handles come from the installer engine; here a test or a tool
 * opens them with the properties it wants through velplat/installer.h. They
 * are process-wide and never reused; 0 is never a valid handle.
 *
 * Thread-safety: any thread. */
#ifndef VELPLAT_MSIQUERY_H
#define VELPLAT_MSIQUERY_H

#include "winapi/types.h"
#include "winapi/errors.h"

typedef DWORD MSIHANDLE; /* 32-bit, as on Windows */

#ifndef ERROR_INSTALL_FAILURE
#define ERROR_INSTALL_FAILURE 1603L
#endif

/* Reads the property szName (names are case-sensitive) into szValueBuf.
 * *pcchValueBuf is the buffer's size in characters, terminator included; on
 * success it receives the value's length without the terminator. A value
 * that does not fit: ERROR_MORE_DATA, *pcchValueBuf set to the value's length
 * (without terminator), and the buffer, when it has room for anything, holds
 * the value cut to fit with its terminator. A null szValueBuf asks only for
 * the length (ERROR_SUCCESS). A property that is not set reads as the empty
 * string. ERROR_INVALID_HANDLE for a handle that is not open;
 * ERROR_INVALID_PARAMETER for a null name, or a null pcchValueBuf. */
VELPLAT_API UINT WINAPI MsiGetPropertyA(MSIHANDLE hInstall, LPCSTR szName, LPSTR szValueBuf, LPDWORD pcchValueBuf);

/* ERROR_INVALID_HANDLE for a handle that is not open; closing 0 succeeds. */
VELPLAT_API UINT WINAPI MsiCloseHandle(MSIHANDLE hAny);

#define MsiGetProperty MsiGetPropertyA

#endif
