/* Win32 environment subset (to be filled by its module). */
#ifndef VELPLAT_WINAPI_ENVIRONMENT_H
#define VELPLAT_WINAPI_ENVIRONMENT_H

#include "types.h"

#endif
