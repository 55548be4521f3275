// The Brennic Clusters operations table.
#include "backends/brennic/operations.h"

#include "backends/brennic/attributes.h"

namespace velmon::brennic {
namespace {

// No MIB identifier of its own and no live node state: those answer the
// defaults.
const ClusterOperations kOperations = {
    .vendorName = &GetClusterVendorName,
    .softwareVersion = &GetClusterSoftwareVersion,
    .serviceStatus = &GetClusterServiceStatus,
    .softwareType = &GetClusterSoftwareType,
    .mibOid = nullptr,
    .localNodeIndex = &GetLocalNodeIndex,
    .clusterName = &GetClusterName,
    .nodeState = nullptr,
};

}  // namespace

const ClusterOperations* BrennicOperations() { return &kOperations; }

}  // namespace velmon::brennic
