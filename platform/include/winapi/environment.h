/* Win32 environment strings of the local machine of the simulated world:
 * expansion of %NAME% references and reading and writing single variables,
 * with the Windows return conventions. Names are case-insensitive. Callable
 * from any thread. */
#ifndef VELPLAT_WINAPI_ENVIRONMENT_H
#define VELPLAT_WINAPI_ENVIRONMENT_H

#include "types.h"

#ifndef ERROR_ENVVAR_NOT_FOUND
#define ERROR_ENVVAR_NOT_FOUND 203L
#endif

/* Replaces each %NAME% of lpSrc by the variable's value; a name that is not
 * set stays as written, percent signs included. Returns the size of the whole
 * result in characters, terminator included. When nSize is smaller than that,
 * lpDst is left untouched and the same size is returned. 0 and
 * ERROR_INVALID_PARAMETER for a null source. */
VELPLAT_API DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize);

/* Success: the value's length without terminator. Buffer too small (or null):
 * the size needed, terminator included, buffer untouched. Missing: 0 with last
 * error ERROR_ENVVAR_NOT_FOUND. */
VELPLAT_API DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize);

/* Sets the variable, or removes it when lpValue is null. FALSE with
 * ERROR_INVALID_PARAMETER for a null or empty name or one holding '='. */
VELPLAT_API BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue);

#endif
