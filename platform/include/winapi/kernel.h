/* Win32 kernel subset (to be filled by its module). */
#ifndef VELPLAT_WINAPI_KERNEL_H
#define VELPLAT_WINAPI_KERNEL_H

#include "types.h"

#endif
