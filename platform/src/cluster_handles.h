// The handles of the cluster API: one table for every kind (cluster, node,
// group, resource, network, enumerations, database keys, ports). A handle
// value is never reused, so a closed handle stays invalid; a handle of one
// kind passed where another is expected is invalid too.
//
// Thread-safety: every function needs the cluster lock (cluster_model.h).
#ifndef VELPLAT_SRC_CLUSTER_HANDLES_H
#define VELPLAT_SRC_CLUSTER_HANDLES_H

#include "cluster_model.h"

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velplat::cluster::detail {

enum class Kind { Cluster, Node, Group, Resource, Network, Enum, GroupEnum, Key, Port };

struct HandleObject {
  Kind kind = Kind::Cluster;
  std::shared_ptr<Model> cluster;  // every kind but Key
  Machine* machine = nullptr;      // the machine that opened the cluster
  std::string name;                // Node, Group, Resource, Network: the object's name
  std::vector<std::pair<DWORD, std::string>> items;  // Enum, GroupEnum: type and name
  std::string path;                // Key: database key path under HKEY_LOCAL_MACHINE
  std::shared_ptr<Port> port;      // Port
};

// Adds the object under a new handle value.
void* InsertHandle(HandleObject object);
// The object of that kind, or null.
HandleObject* FindHandle(const void* handle, Kind kind);
// False when no object of that kind has the handle.
bool RemoveHandle(const void* handle, Kind kind);
std::size_t HandleCount();

}  // namespace velplat::cluster::detail

#endif
