/* Network management: the SDK's umbrella header for the account functions. */
#ifndef VELPLAT_LM_H
#define VELPLAT_LM_H

#include "lmerr.h"
#include "lmaccess.h"
#include "lmapibuf.h"

#endif
