/* Win32 module loading: LoadLibraryA, GetProcAddress, FreeLibrary.
 * Modules that the platform provides itself (the cluster library "CLUSAPI",
 * see clusapi.h) load by their name, with or without ".dll", on machines
 * where the world installed them, and stay loaded. Any other name is looked
 * up on Linux as given and then as "libname.so" in the library search path;
 * a name with a slash is a file path. Fault injection: FailCall("LoadLibraryA")
 * fails a load, FailCall("GetProcAddress:<export>") withholds one export.
 * Any thread. */
#ifndef VELPLAT_WINAPI_MODULES_H
#define VELPLAT_WINAPI_MODULES_H

#include "types.h"

/* Null with ERROR_MOD_NOT_FOUND when the module cannot be loaded. */
VELPLAT_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
/* Null with ERROR_PROC_NOT_FOUND when the module has no such export. */
VELPLAT_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
VELPLAT_API BOOL WINAPI FreeLibrary(HMODULE hLibModule);

#endif
