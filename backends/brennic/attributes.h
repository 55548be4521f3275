// The Brennic Clusters implementations of the cluster attribute operations,
// answered from the product's registry layout and its failover manager
// service. Every operation answers status 0; failures show only in the value.
//
// Request threads; each call opens and closes its own keys and service
// handles and shares nothing.
#ifndef VELMON_BACKENDS_BRENNIC_ATTRIBUTES_H
#define VELMON_BACKENDS_BRENNIC_ATTRIBUTES_H

#include "agent/mib_types.h"

namespace velmon::brennic {

// "Brennicorp" (10 bytes; a terminator follows in the buffer).
Status GetClusterVendorName(AttrString* value, UINT* scratch, const RowIndex* row);
// The name of the product key's subkey at position row->arcs[0] ("1.1 SP3"
// for a subkey named CurrentVersion); empty without one.
Status GetClusterSoftwareVersion(AttrString* value, UINT* scratch, const RowIndex* row);
// 3 without the failover database; 4 when it lists nothing or the failover
// manager is stopped or cannot be asked; 6 otherwise.
Status GetClusterServiceStatus(INT* value, UINT* scratch, const RowIndex* row);
// 3
Status GetClusterSoftwareType(INT* value, UINT* scratch, const RowIndex* row);
// 0-based position of the computer among the Nodes subkeys; 0 when it is not
// listed (the same answer as for the first node).
Status GetLocalNodeIndex(INT* value, UINT* scratch, const RowIndex* row);
// The ClusterName parameter as the registry holds it, terminating zero
// included in the length; empty when it cannot be read.
Status GetClusterName(AttrString* value, UINT* scratch, const RowIndex* row);

}  // namespace velmon::brennic

#endif
