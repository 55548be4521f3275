// The simulated clusters behind the cluster API: each cluster's current
// description, its notification ports, which machines are its members, and
// the handles that the API gives out.
//
// Thread-safety: one process-wide mutex (Mutex()) guards every cluster, every
// port's queue and state, every machine's membership and the handle table.
// Functions marked "lock held" need it. Nothing here calls the registry,
// services or world while holding it; port signals take the kernel lock
// after it (cluster lock first, kernel lock second, never the reverse).
#ifndef VELPLAT_SRC_CLUSTER_MODEL_H
#define VELPLAT_SRC_CLUSTER_MODEL_H

#include "kernel_sync.h"

#include <velplat/cluster.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::cluster::detail {

struct Notification {
  DWORD type = 0;
  std::string name;
};

struct Port {
  DWORD filter = 0;
  DWORD_PTR key = 0;
  bool valid = true;
  unsigned readers = 0;  // threads waiting in GetClusterNotify
  std::deque<Notification> queue;
  // Set while the queue holds something or the port is invalid.
  std::shared_ptr<kernel::EventObject> signal = std::make_shared<kernel::EventObject>(kernel::EventReset::Manual, false);
};

struct Model {
  ClusterSpec shape;  // keys and node identifiers filled in
  std::vector<std::shared_ptr<Port>> ports;  // open ports, valid or not
  std::vector<DWORD> versionRecordSizes;     // as GetClusterInformation was given them
};

// A machine's place in the clusters; Machine::State of the cluster module.
struct Membership {
  bool softwareInstalled = false;
  bool answering = true;
  std::shared_ptr<Model> cluster;  // null: not a member
};

std::mutex& Mutex();
// Notified whenever a port's queue, readers or validity change. Lock held
// for notify is not required.
std::condition_variable& PortsChanged();

// Lock held. The cluster of that name, or null.
std::shared_ptr<Model> FindCluster(std::string_view name);
// Lock held. Registers `model` under its name, replacing (and invalidating
// the ports of) a cluster of the same name.
void StoreCluster(std::shared_ptr<Model> model);
// Lock held. Forgets the cluster of that name, invalidating its ports.
void EraseCluster(std::string_view name);
// Lock held.
Membership& MembershipOf(Machine& machine);

// Lock held. Queues an event on the ports that take it and wakes readers.
void Deliver(Model& model, DWORD type, std::string_view name, Delivery delivery);
// Lock held. The port answers ERROR_INVALID_HANDLE from now on.
void Invalidate(Port& port);

// Lock held. Lookups in a description, without regard to case.
const NodeSpec* FindNode(const Model& model, std::string_view name);
const GroupSpec* FindGroup(const Model& model, std::string_view name);
const ResourceSpec* FindResource(const Model& model, std::string_view name);
const NetworkSpec* FindNetwork(const Model& model, std::string_view name);

// Database key paths under HKEY_LOCAL_MACHINE.
inline constexpr char kDatabaseRoot[] = "Cluster";
std::string NodeKeyPath(const NodeSpec& node);
std::string GroupKeyPath(const GroupSpec& group);
std::string ResourceKeyPath(const ResourceSpec& resource);
std::string NetworkKeyPath(const NetworkSpec& network);
std::string InterfaceKeyPath(const InterfaceSpec& networkInterface);

}  // namespace velplat::cluster::detail

#endif
