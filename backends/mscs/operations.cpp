#include "backends/mscs/operations.h"

#include "backends/mscs/attributes.h"

namespace velmon::mscs {

const ClusterOperations* MscsOperations() {
  static const ClusterOperations operations = {
      &GetMscsVendorName, &GetMscsSoftwareVersion, &GetMscsServiceStatus, &GetMscsSoftwareType,
      nullptr,            &GetMscsLocalNodeIndex,  &GetMscsClusterName,   nullptr,
  };
  return &operations;
}

}  // namespace velmon::mscs
