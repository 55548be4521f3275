// The cluster database in a member machine's registry (HKLM\Cluster), written
// from a description: all of it at once, or one object's key at a time, so
// that a change to the cluster touches only the keys it concerns.
//
// Thread-safety: any thread, without the cluster lock held (registry writes
// notify registry watchers and take the registry's own lock).
#ifndef VELPLAT_SRC_CLUSTER_DATABASE_H
#define VELPLAT_SRC_CLUSTER_DATABASE_H

#include <velplat/cluster.h>

#include <string>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::cluster::detail {

// Generated database keys: GUID texts whose first digit tells the kind and
// whose last part counts, so that they sort in description order.
enum KeyKind { kGroupKeys = 1, kResourceKeys = 2, kNetworkKeys = 3, kInterfaceKeys = 4 };
std::string GeneratedKey(KeyKind kind, size_t position);

// Fills an interface's empty key (one no interface of `shape` uses) and name,
// and turns its network name into that network's key.
void CompleteInterface(const ClusterSpec& shape, InterfaceSpec& networkInterface, size_t position);

void WriteDatabase(Machine& machine, const ClusterSpec& shape);  // afresh
void WriteNode(Machine& machine, const NodeSpec& node);
void WriteGroup(Machine& machine, const GroupSpec& group);
void WriteResource(Machine& machine, const ResourceSpec& resource);
void WriteParameter(Machine& machine, const ResourceSpec& resource, const Parameter& parameter);
void WriteNetwork(Machine& machine, const NetworkSpec& network);
void WriteInterface(Machine& machine, const InterfaceSpec& networkInterface);

// The machines of the cluster's nodes that the world holds; a machine taken
// out of the world is passed over, never brought back.
std::vector<Machine*> MemberMachines(const ClusterSpec& shape);

}  // namespace velplat::cluster::detail

#endif
