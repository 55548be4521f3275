/* Win32 registry subset (to be filled by its module). */
#ifndef VELPLAT_WINAPI_REGISTRY_H
#define VELPLAT_WINAPI_REGISTRY_H

#include "types.h"

#endif
