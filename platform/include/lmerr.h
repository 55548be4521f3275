/* Network management status codes (NET_API_STATUS) with the SDK's values: the
 * NERR_* codes of the account functions and the system error codes they also
 * return. */
#ifndef VELPLAT_LMERR_H
#define VELPLAT_LMERR_H

#include "winapi/types.h"

typedef DWORD NET_API_STATUS;
#define NET_API_FUNCTION

#define NERR_Success 0
#define NERR_BASE 2100
#define NERR_BadUsername (NERR_BASE + 102)
#define NERR_GroupNotFound (NERR_BASE + 120)
#define NERR_UserNotFound (NERR_BASE + 121)
#define NERR_GroupExists (NERR_BASE + 123)
#define NERR_UserExists (NERR_BASE + 124)
#define NERR_PasswordTooShort (NERR_BASE + 145)
#define NERR_InvalidComputer (NERR_BASE + 251)

#ifndef ERROR_INVALID_LEVEL
#define ERROR_INVALID_LEVEL 124L
#endif
#ifndef ERROR_SPECIAL_ACCOUNT
#define ERROR_SPECIAL_ACCOUNT 1371L
#endif
#ifndef ERROR_MEMBER_NOT_IN_ALIAS
#define ERROR_MEMBER_NOT_IN_ALIAS 1377L
#endif
#ifndef ERROR_NO_SUCH_MEMBER
#define ERROR_NO_SUCH_MEMBER 1387L
#endif
#ifndef ERROR_INVALID_MEMBER
#define ERROR_INVALID_MEMBER 1388L
#endif

#endif
