/* Win32 logon, impersonation and account-name lookup, with the SDK's names,
 * constants and structure layouts.
 *
 * LogonUserA checks a local account of the world's local machine and hands
 * out a token, a kernel handle released by CloseHandle. Impersonation is per
 * thread: ImpersonateLoggedOnUser makes the token the calling thread's
 * identity until RevertToSelf; a thread that does not impersonate runs as the
 * process identity, LocalSystem. New threads never inherit an impersonation.
 * Every function may be called from any thread. */
#ifndef VELPLAT_WINAPI_SECURITY_H
#define VELPLAT_WINAPI_SECURITY_H

#include "types.h"

#ifndef ERROR_ACCOUNT_DISABLED
#define ERROR_ACCOUNT_DISABLED 1331L
#endif
#ifndef ERROR_ACCOUNT_LOCKED_OUT
#define ERROR_ACCOUNT_LOCKED_OUT 1909L
#endif

#define LOGON32_LOGON_INTERACTIVE 2
#define LOGON32_LOGON_NETWORK 3
#define LOGON32_LOGON_BATCH 4
#define LOGON32_LOGON_SERVICE 5
#define LOGON32_LOGON_NETWORK_CLEARTEXT 8

#define LOGON32_PROVIDER_DEFAULT 0
#define LOGON32_PROVIDER_WINNT35 1
#define LOGON32_PROVIDER_WINNT40 2
#define LOGON32_PROVIDER_WINNT50 3

#define SID_REVISION 1
#define SECURITY_MAX_SID_SIZE 68

typedef struct _SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

typedef struct _SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];
} SID;

typedef enum _SID_NAME_USE {
  SidTypeUser = 1,
  SidTypeGroup,
  SidTypeDomain,
  SidTypeAlias,
  SidTypeWellKnownGroup,
  SidTypeDeletedAccount,
  SidTypeInvalid,
  SidTypeUnknown,
  SidTypeComputer
} SID_NAME_USE, *PSID_NAME_USE;

/* Domain null, "", "." or the local machine's name: the local accounts. An
 * unknown user, a wrong password or another domain: ERROR_LOGON_FAILURE; a
 * disabled account ERROR_ACCOUNT_DISABLED. Logon types 2, 3, 4, 5 and 8 and
 * providers 0 to 3 are accepted, others give ERROR_INVALID_PARAMETER. */
VELPLAT_API BOOL WINAPI LogonUserA(LPCSTR lpszUsername, LPCSTR lpszDomain, LPCSTR lpszPassword, DWORD dwLogonType,
                                   DWORD dwLogonProvider, PHANDLE phToken);
/* ERROR_INVALID_HANDLE when hToken is not a token. Closing the token handle
 * later does not end the impersonation. */
VELPLAT_API BOOL WINAPI ImpersonateLoggedOnUser(HANDLE hToken);
/* Succeeds also when the thread does not impersonate. */
VELPLAT_API BOOL WINAPI RevertToSelf(void);

/* "name" or "DOMAIN\name" of a user or local group of the machine
 * lpSystemName (null: local); built-in groups are in the domain "BUILTIN".
 * When Sid or the domain buffer is too small (or null), FALSE with
 * ERROR_INSUFFICIENT_BUFFER, *cbSid and *cchReferencedDomainName receiving
 * the sizes needed (the domain's with its terminator). On success
 * *cbSid is the SID's length and *cchReferencedDomainName the domain's length
 * without terminator. An unknown name: ERROR_NONE_MAPPED. */
VELPLAT_API BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                                           LPSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                           PSID_NAME_USE peUse);

#define LogonUser LogonUserA
#define LookupAccountName LookupAccountNameA

#endif
