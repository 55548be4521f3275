// The clusters of a world applied through the platform's cluster calls
// (velplat/cluster.h). A cluster new to the world is installed; one that is
// gone is uninstalled; for a cluster in both worlds only the difference is
// applied, object by object, through the calls that raise the notifications
// a running cluster raises (a node added, removed or changing state, a
// resource parameter, network or interface added, changed or removed). A
// cluster in force is never installed afresh, so its notification ports
// stay valid across edits.
//
// Objects are matched by name; a node also by its identifier, so that a
// renamed node (or one with a new identifier) is removed and added. An
// object whose key, type or group changes is removed and added; a network
// whose address or mask changes too. The removals of every cluster come
// first (WithdrawClusters, before machines the world no longer names are
// dealt with), the additions and changes later (ApplyClusters), so that a
// machine can move from one cluster to another in one edit.
//
// Thread-safety: one applier at a time (the caller of ApplyWorld).
#ifndef VELMOND_WORLD_CLUSTER_APPLY_H
#define VELMOND_WORLD_CLUSTER_APPLY_H

#include "host/world/world_apply.h"
#include "host/world/world_model.h"

namespace velmond {

// What `next` no longer has of the clusters of `previous` (nothing without one).
void WithdrawClusters(const WorldModel* previous, const WorldModel& next, ApplyReport& report);
// What `next` has of clusters that the world in force lacks or holds otherwise.
void ApplyClusters(const WorldModel* previous, const WorldModel& next, ApplyReport& report);

}  // namespace velmond

#endif
