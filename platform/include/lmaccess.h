/* Network management: local user accounts and local group membership, with
 * the SDK's structures, levels, flags and status codes. Strings are UTF-16
 * (WCHAR); the platform's single-byte text is UTF-8.
 *
 * A null or empty servername is the local machine; "\\NAME" or "NAME" reaches
 * another machine of the world under the calling thread's identity: an unknown
 * or unreachable machine gives ERROR_BAD_NETPATH, one that refuses the
 * identity ERROR_ACCESS_DENIED. Changes need an administrator (the process
 * identity is one locally); reading needs any accepted identity.
 * Every function may be called from any thread. */
#ifndef VELPLAT_LMACCESS_H
#define VELPLAT_LMACCESS_H

#include "lmerr.h"

#define USER_PRIV_GUEST 0
#define USER_PRIV_USER 1
#define USER_PRIV_ADMIN 2

#define UF_SCRIPT 0x0001
#define UF_ACCOUNTDISABLE 0x0002
#define UF_HOMEDIR_REQUIRED 0x0008
#define UF_LOCKOUT 0x0010
#define UF_PASSWD_NOTREQD 0x0020
#define UF_PASSWD_CANT_CHANGE 0x0040
#define UF_TEMP_DUPLICATE_ACCOUNT 0x0100
#define UF_NORMAL_ACCOUNT 0x0200
#define UF_INTERDOMAIN_TRUST_ACCOUNT 0x0800
#define UF_WORKSTATION_TRUST_ACCOUNT 0x1000
#define UF_SERVER_TRUST_ACCOUNT 0x2000
#define UF_MACHINE_ACCOUNT_MASK (UF_INTERDOMAIN_TRUST_ACCOUNT | UF_WORKSTATION_TRUST_ACCOUNT | UF_SERVER_TRUST_ACCOUNT)
#define UF_ACCOUNT_TYPE_MASK (UF_TEMP_DUPLICATE_ACCOUNT | UF_NORMAL_ACCOUNT | UF_MACHINE_ACCOUNT_MASK)
#define UF_DONT_EXPIRE_PASSWD 0x10000

/* parm_err values: the member of a record that was refused. */
#define PARM_ERROR_NONE 0
#define PARM_ERROR_UNKNOWN ((DWORD)-1)
#define USER_NAME_PARMNUM 1
#define USER_PASSWORD_PARMNUM 3
#define USER_PASSWORD_AGE_PARMNUM 4
#define USER_PRIV_PARMNUM 5
#define USER_HOME_DIR_PARMNUM 6
#define USER_COMMENT_PARMNUM 7
#define USER_FLAGS_PARMNUM 8
#define USER_SCRIPT_PATH_PARMNUM 9

typedef struct _USER_INFO_0 {
  LPWSTR usri0_name;
} USER_INFO_0, *PUSER_INFO_0, *LPUSER_INFO_0;

typedef struct _USER_INFO_1 {
  LPWSTR usri1_name;
  LPWSTR usri1_password;
  DWORD usri1_password_age;
  DWORD usri1_priv;
  LPWSTR usri1_home_dir;
  LPWSTR usri1_comment;
  DWORD usri1_flags;
  LPWSTR usri1_script_path;
} USER_INFO_1, *PUSER_INFO_1, *LPUSER_INFO_1;

typedef struct _USER_INFO_1003 {
  LPWSTR usri1003_password;
} USER_INFO_1003, *PUSER_INFO_1003, *LPUSER_INFO_1003;

typedef struct _USER_INFO_1008 {
  DWORD usri1008_flags;
} USER_INFO_1008, *PUSER_INFO_1008, *LPUSER_INFO_1008;

typedef struct _LOCALGROUP_MEMBERS_INFO_0 {
  PSID lgrmi0_sid;
} LOCALGROUP_MEMBERS_INFO_0, *PLOCALGROUP_MEMBERS_INFO_0, *LPLOCALGROUP_MEMBERS_INFO_0;

typedef struct _LOCALGROUP_MEMBERS_INFO_3 {
  LPWSTR lgrmi3_domainandname;
} LOCALGROUP_MEMBERS_INFO_3, *PLOCALGROUP_MEMBERS_INFO_3, *LPLOCALGROUP_MEMBERS_INFO_3;

/* Level 1. usri1_priv must be USER_PRIV_USER; a flags value without an account
 * type makes a normal account. ERROR_INVALID_PARAMETER names the refused
 * member in *parm_err. NERR_UserExists, NERR_GroupExists (a local group has
 * the name), NERR_BadUsername, NERR_PasswordTooShort. */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetUserAdd(LPCWSTR servername, DWORD level, LPBYTE buf,
                                                       LPDWORD parm_err);
/* NERR_UserNotFound; ERROR_SPECIAL_ACCOUNT for the built-in accounts. The
 * account leaves every group. */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetUserDel(LPCWSTR servername, LPCWSTR username);
/* Levels 0 and 1; *bufptr is released with NetApiBufferFree. The password
 * member reads as null, the age in seconds since the password was set, the
 * privilege from the account's group membership. */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetUserGetInfo(LPCWSTR servername, LPCWSTR username, DWORD level,
                                                           LPBYTE* bufptr);
/* Levels 1 (name ignored; null strings leave a member unchanged; the
 * privilege must be the current one), 1003 (password) and 1008 (flags). */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetUserSetInfo(LPCWSTR servername, LPCWSTR username, DWORD level,
                                                           LPBYTE buf, LPDWORD parm_err);
/* Levels 0 (SID) and 3 ("DOMAIN\name" or "name"). Members are added in order
 * until one fails: ERROR_MEMBER_IN_ALIAS (already a member),
 * ERROR_NO_SUCH_MEMBER, ERROR_INVALID_MEMBER (not a user account). */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetLocalGroupAddMembers(LPCWSTR servername, LPCWSTR groupname,
                                                                    DWORD level, LPBYTE buf, DWORD totalentries);
/* As NetLocalGroupAddMembers; ERROR_MEMBER_NOT_IN_ALIAS for a non-member. */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetLocalGroupDelMembers(LPCWSTR servername, LPCWSTR groupname,
                                                                    DWORD level, LPBYTE buf, DWORD totalentries);

#endif
