/* Win32 file version information: the version resource of a file on the
 * local machine of the simulated world (files carry one when they were put
 * with velplat/files.h's PutExecutable), copied into the caller's buffer and
 * queried there.
 *
 * The layout of the copied block is this platform's own; it is
 * self-contained, so the pointers VerQueryValueA hands out point into the
 * caller's block and stay valid as long as it does. Sub-block names compare
 * without regard to case, so "\StringFileInfo\040904B0\FileVersion" and
 * "\StringFileInfo\040904b0\FileVersion" name the same string.
 *
 * Thread-safety: any thread. */
#ifndef VELPLAT_WINVER_H
#define VELPLAT_WINVER_H

#include "winapi/types.h"

#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#endif
#ifndef ERROR_RESOURCE_TYPE_NOT_FOUND
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#endif

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L

typedef struct tagVS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

/* The size of the file's version information block, 0 when there is none:
 * the last error is then ERROR_RESOURCE_DATA_NOT_FOUND for a file without a
 * version resource, ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a
 * missing file, ERROR_SHARING_VIOLATION while a writer denies readers.
 * *lpdwHandle (optional) is set to 0. */
VELPLAT_API DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);

/* Copies the block into lpData; dwHandle is ignored. Fails with the errors of
 * GetFileVersionInfoSizeA, and with ERROR_INSUFFICIENT_BUFFER when dwLen is
 * below the block's size (Windows would copy a truncated block). */
VELPLAT_API BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);

/* Looks a value up in a block that GetFileVersionInfoA filled:
 *   "\"                               VS_FIXEDFILEINFO, length 52 (bytes);
 *   "\VarFileInfo\Translation"         the language/code-page pairs, two
 *                                      WORDs each, length in bytes;
 *   "\StringFileInfo\<lang-cp>\<name>" the zero-terminated string, length
 *                                      in characters with the terminator.
 * The leading '\' may be left out. FALSE with ERROR_RESOURCE_TYPE_NOT_FOUND
 * (*lplpBuffer null, *puLen 0) when there is no such value, ERROR_INVALID_DATA
 * for a buffer that holds no version block. */
VELPLAT_API BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen);

#endif
