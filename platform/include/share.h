/* Share flags of the C runtime's shared opening, and _fsopen itself.
 *
 * The Windows runtime declares _fsopen in <stdio.h>; glibc's <stdio.h> has
 * no such function, so on this platform it is declared here, next to the
 * _SH_ flags that every call of it needs. Including <share.h> after or
 * instead of <stdio.h> is enough.
 *
 * _fsopen opens a file of the local machine of the simulated world for
 * reading and returns a real FILE* that glibc's fgets, fread, fseek and
 * fclose work on. Modes: "r", "rt" (text: each CR LF reads as LF, and a
 * Ctrl-Z ends the text, as in the Windows runtime) and "rb" (bytes as they
 * are). The stream reads the bytes the file held when it was opened; until
 * fclose it holds a read open of the file with the share mode of `shflag`,
 * so a later open that the flag denies fails with a sharing violation, and
 * an earlier open that denies reading makes _fsopen fail.
 *
 * Failure returns NULL with errno: ENOENT (no such file or directory),
 * EACCES (sharing violation, a directory), EINVAL (null argument, a mode
 * other than the three read modes, an unknown share flag).
 *
 * Thread-safety: any thread; a stream is used by one thread at a time, as
 * glibc streams are. */
#ifndef VELPLAT_SHARE_H
#define VELPLAT_SHARE_H

#include <stdio.h>

#include "winapi/types.h"

#define _SH_DENYRW 0x10 /* deny reading and writing */
#define _SH_DENYWR 0x20 /* deny writing */
#define _SH_DENYRD 0x30 /* deny reading */
#define _SH_DENYNO 0x40 /* deny nothing */
#define _SH_SECURE 0x80 /* deny writing (readers are shared) */

#define SH_DENYRW _SH_DENYRW
#define SH_DENYWR _SH_DENYWR
#define SH_DENYRD _SH_DENYRD
#define SH_DENYNO _SH_DENYNO

VELPLAT_API FILE* __cdecl _fsopen(const char* filename, const char* mode, int shflag);

#endif
