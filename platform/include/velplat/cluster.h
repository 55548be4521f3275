// C++ control of the simulated Windows cluster, for tests and the host
// daemon: describe a cluster once, install it on its member machines, and
// change it while programs watch it through the cluster API (clusapi.h).
//
// One description gives both views of the cluster: the cluster API answers
// from it (name, version, nodes, groups, resources, networks), and the
// cluster database under HKEY_LOCAL_MACHINE\Cluster of every member machine
// is written from it:
//   Cluster\Nodes\<id>                 NodeName
//   Cluster\Groups\<key>               Name
//   Cluster\Resources\<key>            Name, Type; Parameters\<each parameter>
//                                      (no Parameters key for a resource without any)
//   Cluster\Networks\<key>             Name, Address, AddressMask
//   Cluster\NetworkInterfaces\<key>    Name, Node, Network, Address
// The cluster API's registry functions read these keys, so both views agree
// unless a test edits one machine's registry on purpose, or names values in a
// description's `leftOut`: those are not written to the database (the cluster
// API still answers from the description), for readers of an incomplete copy.
//
// Installing also makes the machines cluster members: "CLUSAPI" loads there
// and the service ClusSvc is defined (running, automatic start; change it
// through velplat/services.h after installing: Install and AddNode define it
// afresh).
//
// Changes notify the cluster's notification ports as a running cluster
// does, each with the object's name: AddNode posts CLUSTER_CHANGE_NODE_ADDED,
// RemoveNode CLUSTER_CHANGE_NODE_DELETED, SetNodeState
// CLUSTER_CHANGE_NODE_STATE; groups, resources, networks and network
// interfaces post their ADDED, DELETED and PROPERTY changes, SetVersion
// CLUSTER_CHANGE_CLUSTER_PROPERTY with the cluster's name. Each change
// rewrites only the database keys it concerns; the ports stay valid (only
// Install of an existing cluster and Uninstall invalidate them).
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_CLUSTER_H
#define VELPLAT_CLUSTER_H

#include <clusapi.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::cluster {

// A value of a resource's Parameters key: text (REG_SZ) or a number
// (REG_DWORD).
struct Parameter {
  std::string name{};
  std::variant<std::string, DWORD> value{};
};

struct NodeSpec {
  std::string name{};  // also the member machine's name
  std::string id{};    // decimal identifier text; empty: the node's 1-based position
  CLUSTER_NODE_STATE state = ClusterNodeUp;
};

struct GroupSpec {
  std::string name{};
  bool opens = true;  // false: OpenClusterGroup fails with ERROR_GROUP_NOT_FOUND
  std::string key{};  // database key name; empty: generated
};

struct ResourceSpec {
  std::string name{};
  std::string type = "IP Address";
  std::string group{};
  std::vector<Parameter> parameters{};
  bool opens = true;  // false: OpenClusterResource fails with ERROR_RESOURCE_NOT_FOUND
  std::string key{};  // database key name; empty: generated
  std::vector<std::string> leftOut{};  // values of its database key not written ("Name", "Type")
};

struct NetworkSpec {
  std::string name{};
  std::string address{};      // e.g. "10.0.0.0"
  std::string addressMask{};  // e.g. "255.255.255.0"
  std::string key{};          // database key name; empty: generated
  std::vector<std::string> leftOut{};  // values of its database key not written ("AddressMask", ...)
};

struct InterfaceSpec {
  std::string node{};     // the "Node" value: a node identifier text, written as given
  std::string network{};  // a network's name (its key is written) or, when none has it, the text as given
  std::string address{};
  std::string name{};     // empty: "<network> - <node>"
  std::string key{};      // database key name; empty: generated
  std::vector<std::string> leftOut{};  // values of its database key not written ("Node", ...)
};

// Generated keys are GUID texts that sort in description order within each
// kind, so the database enumerates objects in the order they are described.
struct ClusterSpec {
  std::string name{};
  WORD majorVersion = 1;
  WORD minorVersion = 0;
  WORD buildNumber = 224;
  std::string vendorId = "Microsoft Cluster Server";
  std::string csdVersion{};
  std::vector<NodeSpec> nodes{};  // enumeration order
  std::vector<GroupSpec> groups{};
  std::vector<ResourceSpec> resources{};
  std::vector<NetworkSpec> networks{};
  std::vector<InterfaceSpec> interfaces{};
};

// Installs the cluster on the machine of every node, adding missing machines.
// A cluster of the same name is replaced (its open ports are invalidated).
void Install(const ClusterSpec& shape);

// The cluster's description as it is now (nodes added and removed included).
ClusterSpec Describe(std::string_view cluster);

// A node joins: it is appended to the enumeration, its machine becomes a
// member, and every member's database gets its Nodes key.
void AddNode(std::string_view cluster, const NodeSpec& node);
// A node is evicted: it leaves the enumeration and its machine stops being a
// member, losing the database, ClusSvc and the cluster library as if it had
// never joined. False when the cluster has no such node.
bool RemoveNode(std::string_view cluster, std::string_view node);
bool SetNodeState(std::string_view cluster, std::string_view node, CLUSTER_NODE_STATE state);
// Writes one more network interface into every member's database (no
// notification reaches the node filters).
void AddNetworkInterface(std::string_view cluster, const InterfaceSpec& networkInterface);

// Object edits. Added objects go last in the enumeration; an empty key is
// generated. Lookups by name ignore case; false when there is no such
// cluster or object. A resource parameter set anew replaces the value of
// that name (or adds it last); interfaces are found by their name.
bool SetVersion(std::string_view cluster, WORD major, WORD minor, WORD build, std::string_view vendorId,
                std::string_view csdVersion);
bool AddGroup(std::string_view cluster, const GroupSpec& group);
bool RemoveGroup(std::string_view cluster, std::string_view group);
bool AddResource(std::string_view cluster, const ResourceSpec& resource);
bool RemoveResource(std::string_view cluster, std::string_view resource);
bool SetResourceParameter(std::string_view cluster, std::string_view resource, const Parameter& parameter);
bool RemoveResourceParameter(std::string_view cluster, std::string_view resource, std::string_view parameter);
bool AddNetwork(std::string_view cluster, const NetworkSpec& network);
bool RemoveNetwork(std::string_view cluster, std::string_view network);
// Gives the interface named `name` the description `changed` (its key
// stays), written over its database key.
bool ChangeNetworkInterface(std::string_view cluster, std::string_view name, const InterfaceSpec& changed);
bool RemoveNetworkInterface(std::string_view cluster, std::string_view name);

// The cluster is destroyed: its ports are invalidated, its member machines
// lose their database, the service ClusSvc and the cluster library. False
// when there is no such cluster.
bool Uninstall(std::string_view cluster);

// Queues an event on the cluster's open ports: those whose filter has
// `filterType`, or every port with Delivery::AnyFilter (an event outside
// the filter, for tests of how a reader treats unexpected types).
enum class Delivery { Filtered, AnyFilter };
void Post(std::string_view cluster, DWORD filterType, std::string_view objectName,
          Delivery delivery = Delivery::Filtered);

// Every open port of the cluster answers ERROR_INVALID_HANDLE from now on;
// waiting readers return at once. Closing such a port still succeeds.
void InvalidatePorts(std::string_view cluster);

// Whether OpenCluster on this member machine succeeds (true after Install).
// While false it fails with RPC_S_SERVER_UNAVAILABLE; handles already open
// keep working.
void SetAnswering(Machine& machine, bool answering);

// Ports of the cluster that are open and valid.
std::size_t OpenPortCount(std::string_view cluster);
// The notification key each of those ports was created with, in creation
// order.
std::vector<DWORD_PTR> PortKeys(std::string_view cluster);
// Waits in real time until the cluster has at least one valid port and
// every valid port has an empty queue and a reader waiting in
// GetClusterNotify; false after `timeout`.
bool WaitForIdlePorts(std::string_view cluster, std::chrono::milliseconds timeout);

// The size fields of the version records that GetClusterInformation was
// given on handles of the cluster since it was installed, oldest first
// (calls without a record add nothing).
std::vector<DWORD> VersionRecordSizes(std::string_view cluster);

// Cluster API handles open in the process (clusters, objects, enumerations,
// keys and ports), so that tests can prove a caller released all of them.
std::size_t OpenHandleCount();

}  // namespace velplat::cluster

#endif
