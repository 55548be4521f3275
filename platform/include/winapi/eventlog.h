/* Win32 eventlog subset (to be filled by its module). */
#ifndef VELPLAT_WINAPI_EVENTLOG_H
#define VELPLAT_WINAPI_EVENTLOG_H

#include "types.h"

#endif
