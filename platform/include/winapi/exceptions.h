/* Win32 exceptions subset (to be filled by its module). */
#ifndef VELPLAT_WINAPI_EXCEPTIONS_H
#define VELPLAT_WINAPI_EXCEPTIONS_H

#include "types.h"

#endif
