// The cluster's own IPv4 address: the "Address" parameter of its address
// resource, read through the cluster API's database functions.
// Thread-safety: the discovery thread.
#ifndef VELMON_BACKENDS_MSCS_CLUSTER_ADDRESS_H
#define VELMON_BACKENDS_MSCS_CLUSTER_ADDRESS_H

#include <windows.h>

namespace velmon::mscs {

// The address (network byte order) in the Parameters of the resource at
// enumeration position `position`: the data of the first value whose name
// leads "Address". 0.0.0.0 when the resource, its keys or such a value
// cannot be had.
DWORD GetResourceIpAddress(DWORD position);

// ClusterIpAddress from the first resource whose name leads
// "Cluster IP Address"; unchanged when there is none.
void SetMscsClusterAddress();

}  // namespace velmon::mscs

#endif
