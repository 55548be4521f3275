// The discovery thread: decides once which cluster software runs here. Oracle
// RAC is waited for first; only when that wait fails is MSCS tried, and for
// MSCS this thread fills the watch tables and then follows the cluster's
// changes. Started once by start-up.
#ifndef VELMON_DISCOVERY_FIND_CLUSTER_VENDOR_H
#define VELMON_DISCOVERY_FIND_CLUSTER_VENDOR_H

#include "backends/mscs/mscs_discovery.h"

#include <windows.h>

namespace velmon {

void __cdecl FindClusterVendor(void* unused);

// The thread's body, with the detections and MSCS operations it runs.
void DiscoverClusterVendor(LONG (*detectOracle)(), const mscs::DiscoveryOperations& mscs);

// The MSCS path after detection: vendor 2, the cluster model, the node,
// address and cluster address entries, the change watch, and the index
// resets.
void RunMscsDiscovery(const mscs::DiscoveryOperations& mscs);

}  // namespace velmon

#endif
