// The MSCS back-end as discovery sees it.
#include "backends/mscs/mscs_discovery.h"

#include "backends/mscs/change_watch.h"
#include "backends/mscs/cluster_address.h"
#include "backends/mscs/cluster_model.h"
#include "backends/mscs/detection.h"
#include "backends/mscs/node_addresses.h"

namespace velmon::mscs {
namespace {

void ResolveNodeAddresses() { ResolveMscsNodeAddresses(); }

}  // namespace

const DiscoveryOperations& MscsDiscoveryOperations() {
  static const DiscoveryOperations operations = {
      &DetectMscsCluster,    &ReadLocalNodeId,  &FillMscsMemberTable,  &ResolveNodeAddresses,
      &SetMscsClusterAddress, &GetMscsNodeName, &LoadNodeDescription, &WatchMscsChanges,
  };
  return operations;
}

}  // namespace velmon::mscs
