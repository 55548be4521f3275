// The cluster attributes of group .1.2: which cluster software runs here
// (`ClusterVendor`, set by discovery) and the seven attribute operations that
// dispatch on it to that software's back-end, with their defaults while no
// cluster software is known. Also the MIB revision constants of group .1.1.
//
// Handlers run on the request thread; `ClusterVendor` is written by the
// discovery thread and read here without further locking.
#ifndef VELMON_AGENT_CLUSTER_ATTRIBUTES_H
#define VELMON_AGENT_CLUSTER_ATTRIBUTES_H

#include "agent/mib_types.h"

#include <atomic>

namespace velmon {

enum Vendor : LONG { kVendorNone = 0, kVendorBrennic = 1, kVendorMscs = 2, kVendorOracle = 3 };

// Process-wide; 0 at load.
extern std::atomic<LONG> ClusterVendor;

// One back-end's implementation of the attribute operations. A null member
// means the back-end does not provide it and the default answer is used.
struct ClusterOperations {
  StringHandler vendorName;
  StringHandler softwareVersion;
  IntegerHandler serviceStatus;
  IntegerHandler softwareType;
  ObjectIdHandler mibOid;
  IntegerHandler localNodeIndex;
  StringHandler clusterName;
  IntegerHandler nodeState;  // node table state column; Oracle RAC only
};

// The operations of `vendor` (1, 2 or 3), or null when there are none.
const ClusterOperations* OperationsForVendor(LONG vendor);

// .1.1.1 and .1.1.2: MIB revision 2.0.
Status GetMibMajorRevision(INT* value, UINT* scratch, const RowIndex* row);
Status GetMibMinorRevision(INT* value, UINT* scratch, const RowIndex* row);

// .1.2.1 ... .1.2.7
Status GetClusterVendorName(AttrString* value, UINT* scratch, const RowIndex* row);
Status GetClusterSoftwareVersion(AttrString* value, UINT* scratch, const RowIndex* row);
Status GetClusterServiceStatus(INT* value, UINT* scratch, const RowIndex* row);
Status GetClusterSoftwareType(INT* value, UINT* scratch, const RowIndex* row);
Status GetClusterMibOid(AsnObjectIdentifier* value, UINT* scratch, const RowIndex* row);
Status GetLocalNodeIndex(INT* value, UINT* scratch, const RowIndex* row);
Status GetClusterName(AttrString* value, UINT* scratch, const RowIndex* row);
// .1.2.9: "MSCS", "Oracle RAC Cluster " (trailing blank) or empty.
Status GetClusterTypeName(AttrString* value, UINT* scratch, const RowIndex* row);

}  // namespace velmon

#endif
