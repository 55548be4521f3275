// The Oracle RAC implementations of the cluster attribute operations.
// Request thread; each opens and closes its own registry keys.
#ifndef VELMON_BACKENDS_ORACLE_ATTRIBUTES_H
#define VELMON_BACKENDS_ORACLE_ATTRIBUTES_H

#include "agent/cluster_attributes.h"

namespace velmon::oracle {

extern const ClusterOperations kOperations;

Status GetClusterVendorName(AttrString* value, UINT* scratch, const RowIndex* row);
// The FileVersion of the cluster manager's executable, at most 19 characters.
Status GetClusterSoftwareVersion(AttrString* value, UINT* scratch, const RowIndex* row);
// 6 while the cluster-manager key exists, else 3.
Status GetClusterServiceStatus(INT* value, UINT* scratch, const RowIndex* row);
Status GetClusterSoftwareType(INT* value, UINT* scratch, const RowIndex* row);
// 0.0
Status GetClusterMibOid(AsnObjectIdentifier* value, UINT* scratch, const RowIndex* row);
// 1-based position of the member named by HostName; 0 when none.
Status GetLocalNodeIndex(INT* value, UINT* scratch, const RowIndex* row);
// The public name of member 0.
Status GetClusterName(AttrString* value, UINT* scratch, const RowIndex* row);

}  // namespace velmon::oracle

#endif
