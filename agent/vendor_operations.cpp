// Which back-end answers the cluster attributes for each cluster software.
//
// The back-ends register here as they are built; until a back-end provides
// its operations, its vendor number answers the same defaults as vendor 0.
#include "agent/cluster_attributes.h"

#include "backends/brennic/operations.h"
#include "backends/mscs/operations.h"
#include "backends/oracle/attributes.h"

namespace velmon {

const ClusterOperations* OperationsForVendor(LONG vendor) {
  switch (vendor) {
    case kVendorBrennic:
      return brennic::BrennicOperations();
    case kVendorMscs:
      return mscs::MscsOperations();
    case kVendorOracle:
      return &oracle::kOperations;
    default:
      return nullptr;
  }
}

}  // namespace velmon
