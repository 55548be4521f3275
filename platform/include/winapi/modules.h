/* Win32 module loading: LoadLibraryA, GetProcAddress, FreeLibrary.
 * On Linux a module name "name.dll" (or "name") is looked up as given and
 * then as "libname.so" in the library search path; a name with a slash is a
 * file path. Any thread. */
#ifndef VELPLAT_WINAPI_MODULES_H
#define VELPLAT_WINAPI_MODULES_H

#include "types.h"

/* Null with ERROR_MOD_NOT_FOUND when the module cannot be loaded. */
VELPLAT_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
/* Null with ERROR_PROC_NOT_FOUND when the module has no such export. */
VELPLAT_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
VELPLAT_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);

#endif
