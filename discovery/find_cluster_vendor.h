// The discovery thread: decides once which cluster software runs here and
// lets its back-end fill the watch tables. Started once by start-up.
#ifndef VELMON_DISCOVERY_FIND_CLUSTER_VENDOR_H
#define VELMON_DISCOVERY_FIND_CLUSTER_VENDOR_H

#include <windows.h>

namespace velmon {

void __cdecl FindClusterVendor(void* unused);

}  // namespace velmon

#endif
