// The MSCS operations that the discovery thread runs when it selects MSCS:
// detection, the cluster model set-up, the node names and descriptions for
// the fill loops, and the change watch.
#ifndef VELMON_BACKENDS_MSCS_MSCS_DISCOVERY_H
#define VELMON_BACKENDS_MSCS_MSCS_DISCOVERY_H

#include "agent/mib_types.h"

#include <windows.h>

namespace velmon::mscs {

struct DiscoveryOperations {
  LONG (*detect)();  // 2 when MSCS runs here (ClusterVendor is then 2); 0 or 5 otherwise
  void (*readLocalNodeId)();
  void (*fillMemberTable)();
  void (*resolveNodeAddresses)();
  void (*setClusterAddress)();
  // The name of the node at row arcs[0] (0-based), as a terminated text.
  StringHandler getNodeName;
  // The node's description; also sets PendingNodeState. Returns that state.
  LONG (*loadNodeDescription)(char (&description)[kTextBufferSize], int position);
  // Follows node changes until the notification port fails.
  LONG (*watchChanges)();
};

// The MSCS back-end's operations.
const DiscoveryOperations& MscsDiscoveryOperations();

}  // namespace velmon::mscs

#endif
