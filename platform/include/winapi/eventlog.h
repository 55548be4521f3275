/*
 * Win32 event log, writing side: RegisterEventSourceA, ReportEventA,
 * DeregisterEventSource with the SDK's names and values.
 *
 * Entries go to the System log of the machine the source was registered on
 * (null or "" server: the local machine; an unknown server fails with
 * RPC_S_SERVER_UNAVAILABLE). As on Windows, registering a source succeeds
 * whether or not the source is registered in the registry. Every entry keeps
 * its source, type, category, identifier, insertion strings, raw data and
 * time; velplat/eventlog.h reads them back and formats their text.
 * Failures give FALSE or a null handle and set the last error; a handle that
 * is not a live event source gives ERROR_INVALID_HANDLE.
 *
 * Thread-safety: any thread; a handle may be used by several threads at once.
 */
#ifndef VELPLAT_WINAPI_EVENTLOG_H
#define VELPLAT_WINAPI_EVENTLOG_H

#include "types.h"

#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define EVENTLOG_AUDIT_SUCCESS 0x0008
#define EVENTLOG_AUDIT_FAILURE 0x0010

VELPLAT_API HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName);
VELPLAT_API BOOL WINAPI DeregisterEventSource(HANDLE hEventLog);
VELPLAT_API BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                                     WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData);

#endif
