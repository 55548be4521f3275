/* The installer actions of _velsetup, the library the product's installer
 * loads: restart the SNMP service with the services that depend on it,
 * create and delete the agent's account, tell whether a service is installed
 * and read a product version from a file's version resource.
 *
 * Every action runs to completion on the calling thread. Failures are
 * reported once to the setup log and, unless the installation runs silently
 * (installer property INST_MODE = "SILENT", read by StartSNMP and StopSNMP),
 * in a message box; the result is a system error code, 0 on success.
 * Not thread-safe: the installer calls the actions one after another. */
#ifndef VELSETUP_VELSETUP_H
#define VELSETUP_VELSETUP_H

#include <windows.h>
/* msiquery.h builds on the types of windows.h. */
#include <msiquery.h>

#ifdef __cplusplus
#define VELSETUP_API extern "C" __attribute__((visibility("default")))
#else
#define VELSETUP_API __attribute__((visibility("default")))
#endif

/* Stops / starts "SNMP" and its dependents; 0 or the failing step's code. */
VELSETUP_API UINT WINAPI StopSNMP(MSIHANDLE hInstall);
VELSETUP_API UINT WINAPI StartSNMP(MSIHANDLE hInstall);
/* Creates (or resets) / deletes the local account RACUSER; the handle is not
 * used. */
VELSETUP_API UINT WINAPI CreateRACUser(MSIHANDLE hInstall);
VELSETUP_API UINT WINAPI DeleteRACUser(MSIHANDLE hInstall);
/* 1 when the local machine has the service, else 0. */
VELSETUP_API UINT WINAPI IsServicePresent(LPCSTR serviceName);
/* Copies the file's product version, or "None/Unknown", with its terminator
 * into versionText, which has room for it (at least 13 bytes); 87 for a null
 * pointer, else 0. */
VELSETUP_API UINT WINAPI GetProductVersion(LPSTR versionText, LPCSTR fileName);

/* The actions' shapes, for callers that load the library by name. */
typedef UINT(WINAPI* VelsetupInstallAction)(MSIHANDLE);
typedef UINT(WINAPI* VelsetupServiceQuery)(LPCSTR);
typedef UINT(WINAPI* VelsetupVersionQuery)(LPSTR, LPCSTR);

#endif
