/* Buffers handed out by the network management functions. A buffer returned
 * through a bufptr argument is one block, strings included, released by
 * NetApiBufferFree. Any thread. */
#ifndef VELPLAT_LMAPIBUF_H
#define VELPLAT_LMAPIBUF_H

#include "lmerr.h"

/* ERROR_INVALID_PARAMETER for a null Buffer, ERROR_NOT_ENOUGH_MEMORY when the
 * block cannot be had. */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetApiBufferAllocate(DWORD ByteCount, LPVOID* Buffer);
/* A null buffer is accepted. */
VELPLAT_API NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer);

#endif
