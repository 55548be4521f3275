/* Win32 service control manager subset, with the SDK's names, values and
 * structure layouts: connecting to a machine's service database, opening
 * services, querying their status, starting them, sending them controls and
 * listing the services that depend on one.
 *
 * The services live in the simulated world (velplat/services.h defines them).
 * A null or empty machine name is the local machine; "\\NAME" or "NAME" reaches
 * another machine of the world under the calling thread's identity (its
 * impersonation token, else the process identity, LocalSystem). Failures
 * return FALSE or NULL and set the thread's last error as Windows does.
 * Service names compare without regard to case. Every function may be called
 * from any thread; SC_HANDLEs are process-wide and are not kernel handles. */
#ifndef VELPLAT_WINSVC_H
#define VELPLAT_WINSVC_H

#include "winapi/types.h"
#include "winapi/access.h"


/* Error codes of the service functions that the base table lacks. */
#ifndef ERROR_INVALID_SERVICE_ACCOUNT
#define ERROR_INVALID_SERVICE_ACCOUNT 1057L
#endif
#ifndef ERROR_CIRCULAR_DEPENDENCY
#define ERROR_CIRCULAR_DEPENDENCY 1059L
#endif
#ifndef ERROR_SERVICE_DEPENDENCY_FAIL
#define ERROR_SERVICE_DEPENDENCY_FAIL 1068L
#endif
#ifndef ERROR_SERVICE_DEPENDENCY_DELETED
#define ERROR_SERVICE_DEPENDENCY_DELETED 1075L
#endif
#ifndef ERROR_SERVICE_NEVER_STARTED
#define ERROR_SERVICE_NEVER_STARTED 1077L
#endif

#define SERVICES_ACTIVE_DATABASEA "ServicesActive"
#define SERVICES_FAILED_DATABASEA "ServicesFailed"
#define SERVICES_ACTIVE_DATABASE SERVICES_ACTIVE_DATABASEA
#define SERVICES_FAILED_DATABASE SERVICES_FAILED_DATABASEA

/* Service types. */
#define SERVICE_KERNEL_DRIVER 0x00000001
#define SERVICE_FILE_SYSTEM_DRIVER 0x00000002
#define SERVICE_WIN32_OWN_PROCESS 0x00000010
#define SERVICE_WIN32_SHARE_PROCESS 0x00000020
#define SERVICE_WIN32 (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS)
#define SERVICE_INTERACTIVE_PROCESS 0x00000100

/* Start types. */
#define SERVICE_BOOT_START 0x00000000
#define SERVICE_SYSTEM_START 0x00000001
#define SERVICE_AUTO_START 0x00000002
#define SERVICE_DEMAND_START 0x00000003
#define SERVICE_DISABLED 0x00000004

/* Error control. */
#define SERVICE_ERROR_IGNORE 0x00000000
#define SERVICE_ERROR_NORMAL 0x00000001
#define SERVICE_ERROR_SEVERE 0x00000002
#define SERVICE_ERROR_CRITICAL 0x00000003

#define SERVICE_NO_CHANGE 0xFFFFFFFF

/* State filters of the enumerations. */
#define SERVICE_ACTIVE 0x00000001
#define SERVICE_INACTIVE 0x00000002
#define SERVICE_STATE_ALL (SERVICE_ACTIVE | SERVICE_INACTIVE)

/* Controls. */
#define SERVICE_CONTROL_STOP 0x00000001
#define SERVICE_CONTROL_PAUSE 0x00000002
#define SERVICE_CONTROL_CONTINUE 0x00000003
#define SERVICE_CONTROL_INTERROGATE 0x00000004
#define SERVICE_CONTROL_SHUTDOWN 0x00000005

/* Current states. */
#define SERVICE_STOPPED 0x00000001
#define SERVICE_START_PENDING 0x00000002
#define SERVICE_STOP_PENDING 0x00000003
#define SERVICE_RUNNING 0x00000004
#define SERVICE_CONTINUE_PENDING 0x00000005
#define SERVICE_PAUSE_PENDING 0x00000006
#define SERVICE_PAUSED 0x00000007

/* Controls accepted. */
#define SERVICE_ACCEPT_STOP 0x00000001
#define SERVICE_ACCEPT_PAUSE_CONTINUE 0x00000002
#define SERVICE_ACCEPT_SHUTDOWN 0x00000004

/* Access rights of the service control manager. OpenSCManagerA always grants
 * SC_MANAGER_CONNECT besides what it was asked. */
#define SC_MANAGER_CONNECT 0x0001
#define SC_MANAGER_CREATE_SERVICE 0x0002
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004
#define SC_MANAGER_LOCK 0x0008
#define SC_MANAGER_QUERY_LOCK_STATUS 0x0010
#define SC_MANAGER_MODIFY_BOOT_CONFIG 0x0020
#define SC_MANAGER_ALL_ACCESS                                                                              \
  (STANDARD_RIGHTS_REQUIRED | SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_ENUMERATE_SERVICE | \
   SC_MANAGER_LOCK | SC_MANAGER_QUERY_LOCK_STATUS | SC_MANAGER_MODIFY_BOOT_CONFIG)

/* Access rights of a service. */
#define SERVICE_QUERY_CONFIG 0x0001
#define SERVICE_CHANGE_CONFIG 0x0002
#define SERVICE_QUERY_STATUS 0x0004
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008
#define SERVICE_START 0x0010
#define SERVICE_STOP 0x0020
#define SERVICE_PAUSE_CONTINUE 0x0040
#define SERVICE_INTERROGATE 0x0080
#define SERVICE_USER_DEFINED_CONTROL 0x0100
#define SERVICE_ALL_ACCESS                                                                                 \
  (STANDARD_RIGHTS_REQUIRED | SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS |           \
   SERVICE_ENUMERATE_DEPENDENTS | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_INTERROGATE | \
   SERVICE_USER_DEFINED_CONTROL)

typedef struct SC_HANDLE__ {
  int unused;
} * SC_HANDLE;
typedef SC_HANDLE* LPSC_HANDLE;

typedef struct _SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

typedef struct _ENUM_SERVICE_STATUSA {
  LPSTR lpServiceName;
  LPSTR lpDisplayName;
  SERVICE_STATUS ServiceStatus;
} ENUM_SERVICE_STATUSA, *LPENUM_SERVICE_STATUSA;
typedef ENUM_SERVICE_STATUSA ENUM_SERVICE_STATUS;
typedef LPENUM_SERVICE_STATUSA LPENUM_SERVICE_STATUS;

/* Unknown machine, or one the world marks unreachable (after its connection
 * time): RPC_S_SERVER_UNAVAILABLE. A remote machine that does not accept the
 * caller's identity: ERROR_ACCESS_DENIED. Database "ServicesFailed":
 * ERROR_DATABASE_DOES_NOT_EXIST; any other name but "ServicesActive":
 * ERROR_INVALID_NAME. Rights beyond the caller's standing on the machine:
 * ERROR_ACCESS_DENIED. */
VELPLAT_API SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess);
/* ERROR_SERVICE_DOES_NOT_EXIST for an unknown name, ERROR_INVALID_NAME for a
 * null or empty one, ERROR_ACCESS_DENIED for rights the caller lacks. */
VELPLAT_API SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess);
VELPLAT_API BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject);
/* Needs SERVICE_QUERY_STATUS. */
VELPLAT_API BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
/* STOP, PAUSE, CONTINUE, INTERROGATE and user-defined codes 128..255. The
 * status is written on success and on ERROR_SERVICE_NOT_ACTIVE,
 * ERROR_SERVICE_CANNOT_ACCEPT_CTRL and ERROR_INVALID_SERVICE_CONTROL. */
VELPLAT_API BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);
/* Starts the services this one depends on first. Arguments are ignored. */
VELPLAT_API BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors);
/* Every service that depends on this one, directly or not, in the order in
 * which they can be stopped: each service comes after the services that
 * depend on it. The strings lie in the caller's buffer after the array. A
 * buffer too small: ERROR_MORE_DATA, *pcbBytesNeeded set, nothing returned. */
VELPLAT_API BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState,
                                               LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                               LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned);

#define OpenSCManager OpenSCManagerA
#define OpenService OpenServiceA
#define StartService StartServiceA
#define EnumDependentServices EnumDependentServicesA

#endif
