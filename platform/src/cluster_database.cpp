// Writing the cluster database of member machines from a description.
#include "cluster_database.h"

#include <velplat/registry.h>
#include <velplat/world.h>

#include "cluster_model.h"

#include <algorithm>
#include <cstdio>

namespace velplat::cluster::detail {
namespace {

// The value an interface's "Network" entry holds: the key of the network it
// names, or its text when no network has that name.
std::string NetworkReference(const ClusterSpec& shape, const InterfaceSpec& networkInterface) {
  for (const auto& network : shape.networks)
    if (EqualsNoCase(network.name, networkInterface.network)) return network.key;
  return networkInterface.network;
}

// Takes the values a description leaves out back out of its freshly written key.
void LeaveOut(Machine& machine, const std::string& path, const std::vector<std::string>& leftOut) {
  for (const auto& name : leftOut) registry::DeleteValue(path, name, &machine);
}

}  // namespace

std::string GeneratedKey(KeyKind kind, size_t position) {
  char text[40];
  std::snprintf(text, sizeof text, "{%d0000000-0000-0000-0000-%012zu}", static_cast<int>(kind), position + 1);
  return text;
}

void CompleteInterface(const ClusterSpec& shape, InterfaceSpec& networkInterface, size_t position) {
  auto taken = [&](const std::string& key) {
    return std::any_of(shape.interfaces.begin(), shape.interfaces.end(),
                       [&](const InterfaceSpec& other) { return EqualsNoCase(other.key, key); });
  };
  while (networkInterface.key.empty() || taken(networkInterface.key))
    networkInterface.key = GeneratedKey(kInterfaceKeys, position++);
  if (networkInterface.name.empty()) networkInterface.name = networkInterface.network + " - " + networkInterface.node;
  networkInterface.network = NetworkReference(shape, networkInterface);
}

void WriteNode(Machine& machine, const NodeSpec& node) {
  registry::SetString(NodeKeyPath(node), "NodeName", node.name, &machine);
}

void WriteGroup(Machine& machine, const GroupSpec& group) {
  registry::SetString(GroupKeyPath(group), "Name", group.name, &machine);
}

void WriteParameter(Machine& machine, const ResourceSpec& resource, const Parameter& parameter) {
  const std::string path = ResourceKeyPath(resource) + "\\Parameters";
  if (const auto* text = std::get_if<std::string>(&parameter.value))
    registry::SetString(path, parameter.name, *text, &machine);
  else
    registry::SetDword(path, parameter.name, std::get<DWORD>(parameter.value), &machine);
}

void WriteResource(Machine& machine, const ResourceSpec& resource) {
  const std::string path = ResourceKeyPath(resource);
  registry::SetString(path, "Name", resource.name, &machine);
  registry::SetString(path, "Type", resource.type, &machine);
  for (const auto& parameter : resource.parameters) WriteParameter(machine, resource, parameter);
  LeaveOut(machine, path, resource.leftOut);
}

void WriteNetwork(Machine& machine, const NetworkSpec& network) {
  const std::string path = NetworkKeyPath(network);
  registry::SetString(path, "Name", network.name, &machine);
  registry::SetString(path, "Address", network.address, &machine);
  registry::SetString(path, "AddressMask", network.addressMask, &machine);
  LeaveOut(machine, path, network.leftOut);
}

void WriteInterface(Machine& machine, const InterfaceSpec& networkInterface) {
  const std::string path = InterfaceKeyPath(networkInterface);
  registry::SetString(path, "Name", networkInterface.name, &machine);
  registry::SetString(path, "Node", networkInterface.node, &machine);
  registry::SetString(path, "Network", networkInterface.network, &machine);
  registry::SetString(path, "Address", networkInterface.address, &machine);
  LeaveOut(machine, path, networkInterface.leftOut);
}

void WriteDatabase(Machine& machine, const ClusterSpec& shape) {
  registry::DeleteKeyTree(kDatabaseRoot, &machine);
  registry::SetString(kDatabaseRoot, "ClusterName", shape.name, &machine);
  // A cluster database holds its five collections even while one is empty,
  // so that removing the last group (say) leaves what installing without
  // groups gives.
  for (const char* collection : {"Nodes", "Groups", "Resources", "Networks", "NetworkInterfaces"}) {
    registry::CreateKey(std::string(kDatabaseRoot) + "\\" + collection, &machine);
  }
  for (const auto& node : shape.nodes) WriteNode(machine, node);
  for (const auto& group : shape.groups) WriteGroup(machine, group);
  for (const auto& resource : shape.resources) WriteResource(machine, resource);
  for (const auto& network : shape.networks) WriteNetwork(machine, network);
  for (const auto& networkInterface : shape.interfaces) WriteInterface(machine, networkInterface);
}

std::vector<Machine*> MemberMachines(const ClusterSpec& shape) {
  std::vector<Machine*> machines;
  for (const auto& node : shape.nodes)
    if (Machine* machine = World::Get().Find(node.name)) machines.push_back(machine);
  return machines;
}

}  // namespace velplat::cluster::detail
