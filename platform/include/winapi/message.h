/*
 * Win32 message formatting: FormatMessageA with the SDK's flags.
 *
 * Sources: FORMAT_MESSAGE_FROM_STRING (lpSource is the text) and
 * FORMAT_MESSAGE_FROM_SYSTEM (the English texts of the system error codes;
 * languages other than neutral and English fail with
 * ERROR_RESOURCE_LANG_NOT_FOUND; an unknown code with ERROR_MR_MID_NOT_FOUND).
 * FORMAT_MESSAGE_FROM_HMODULE alone is not supported (ERROR_NOT_SUPPORTED).
 * Arguments are a va_list*, or with FORMAT_MESSAGE_ARGUMENT_ARRAY an array of
 * DWORD_PTR cast to va_list*. With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer
 * is a LPSTR* that receives a LocalAlloc block (release with LocalFree).
 * Returns the length without the terminator; 0 and the last error on
 * failure (ERROR_INSUFFICIENT_BUFFER for a too-small buffer, which is then
 * left untouched; ERROR_NO_WORK_DONE for an empty result).
 *
 * Thread-safety: any thread.
 */
#ifndef VELPLAT_WINAPI_MESSAGE_H
#define VELPLAT_WINAPI_MESSAGE_H

#include <stdarg.h>

#include "types.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#ifndef MAKELANGID
#define MAKELANGID(primary, sub) ((((WORD)(sub)) << 10) | (WORD)(primary))
#define PRIMARYLANGID(lgid) ((WORD)(lgid) & 0x3ff)
#define SUBLANGID(lgid) ((WORD)(lgid) >> 10)
#endif
#ifndef LANG_NEUTRAL
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define SUBLANG_ENGLISH_US 0x01
#endif

#ifndef ERROR_NO_WORK_DONE
#define ERROR_NO_WORK_DONE 235L
#endif
#ifndef ERROR_RESOURCE_LANG_NOT_FOUND
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
#endif

VELPLAT_API DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                        LPSTR lpBuffer, DWORD nSize, va_list* Arguments);

#endif
