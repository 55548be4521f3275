/* Win32 files of the local machine of the simulated world: CreateFileA with
 * access rights, share modes and creation dispositions, synchronous ReadFile,
 * WriteFile, SetFilePointer and GetFileSize on its handles (closed with
 * CloseHandle), DeleteFileA, CreateDirectoryA, GetFileAttributesA, and the
 * Windows and system directories.
 *
 * Paths are absolute with a drive letter ("C:\dir\file"); '\' and '/' both
 * separate, names compare without regard to case. Every drive root exists;
 * other directories exist once created (CreateDirectoryA, or the control API
 * of velplat/files.h, which creates missing directories). A path without a
 * drive letter gives ERROR_PATH_NOT_FOUND: the simulated process has no
 * current directory.
 *
 * Deviations, all outside what the product relies on: no overlapped I/O (a
 * non-null OVERLAPPED gives ERROR_INVALID_PARAMETER), no attributes beyond
 * directory and archive, no security; DeleteFileA of a file that every open
 * handle shares for deletion removes the name at once, and the handles keep
 * reading and writing the unnamed file until they are closed.
 *
 * Thread-safety: any thread; one handle may be used by several threads. */
#ifndef VELPLAT_WINAPI_FILES_H
#define VELPLAT_WINAPI_FILES_H

#include "types.h"
#include "access.h"

#ifndef ERROR_SHARING_VIOLATION
#define ERROR_SHARING_VIOLATION 32L
#endif
#ifndef ERROR_FILE_EXISTS
#define ERROR_FILE_EXISTS 80L
#endif
#ifndef ERROR_DISK_FULL
#define ERROR_DISK_FULL 112L
#endif
#ifndef ERROR_DIR_NOT_EMPTY
#define ERROR_DIR_NOT_EMPTY 145L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif


#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    } s;
    PVOID Pointer;
  } u;
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

/* Rights: GENERIC_READ reads, GENERIC_WRITE writes, DELETE deletes,
 * GENERIC_ALL all three; other bits are accepted and grant nothing. An open
 * conflicts with an earlier one (ERROR_SHARING_VIOLATION) when it asks for a
 * right that the earlier one does not share, or when it does not share a
 * right that the earlier one holds; opens without any of the three rights
 * never conflict. On success the last error is ERROR_ALREADY_EXISTS when
 * CREATE_ALWAYS or OPEN_ALWAYS found the file, else 0. Failure returns
 * INVALID_HANDLE_VALUE with: ERROR_FILE_NOT_FOUND (no such file),
 * ERROR_PATH_NOT_FOUND (no such directory), ERROR_FILE_EXISTS (CREATE_NEW on
 * an existing file), ERROR_ACCESS_DENIED (the name is a directory),
 * ERROR_INVALID_NAME (a name holding one of <>:"|?*), ERROR_INVALID_PARAMETER
 * (unknown disposition; TRUNCATE_EXISTING without GENERIC_WRITE). Security
 * attributes, flags and the template are ignored. */
VELPLAT_API HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                      LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                      DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

/* Reads from the handle's position; at the end of the file TRUE with 0 bytes.
 * ERROR_ACCESS_DENIED without read access. */
VELPLAT_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                 LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
/* Writes at the handle's position; a position beyond the end first extends
 * the file with zero bytes. ERROR_ACCESS_DENIED without write access,
 * ERROR_DISK_FULL past the simulated 1 GiB limit of a file. */
VELPLAT_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                  LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);

/* Moves the position relative to FILE_BEGIN, FILE_CURRENT or FILE_END. The
 * distance is lDistanceToMove, or with lpDistanceToMoveHigh the signed 64-bit
 * value of both halves (the new high half is returned through it). Returns
 * the new position's low half; failure INVALID_SET_FILE_POINTER with
 * ERROR_NEGATIVE_SEEK (before the start; the position stays) or
 * ERROR_INVALID_PARAMETER. A success whose low half equals
 * INVALID_SET_FILE_POINTER sets the last error to NO_ERROR. */
VELPLAT_API DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                        DWORD dwMoveMethod);
/* The size's low half (high half through lpFileSizeHigh); INVALID_FILE_SIZE
 * with the last error on failure, NO_ERROR when a success returns that value. */
VELPLAT_API DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);

/* ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED for a
 * directory, ERROR_SHARING_VIOLATION while a handle does not share deletion. */
VELPLAT_API BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
/* ERROR_ALREADY_EXISTS when the name exists, ERROR_PATH_NOT_FOUND when the
 * parent directory does not. Security attributes are ignored. */
VELPLAT_API BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
/* FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE; INVALID_FILE_ATTRIBUTES
 * with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND. */
VELPLAT_API DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);

/* The Windows directory is the local machine's "SystemRoot" value, else its
 * "windir" value, else C:\WINNT; the system directory is that followed by
 * "\system32". Success: the length without the terminator. A buffer of uSize
 * characters too small for the text and its terminator (or null) is left
 * untouched and the size needed, terminator included, is returned. */
VELPLAT_API UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
VELPLAT_API UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

#endif
