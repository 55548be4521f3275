// The C++ control API of the simulated cluster (velplat/cluster.h).
#include <velplat/cluster.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include "cluster_database.h"
#include "cluster_handles.h"
#include "cluster_model.h"

#include <algorithm>
#include <cstdlib>

namespace velplat::cluster {
namespace {

using detail::Model;

using detail::CompleteInterface;
using detail::GeneratedKey;
using detail::MemberMachines;
using detail::WriteDatabase;
using detail::WriteInterface;
using detail::WriteNode;

template <class Shape>
void FillKeys(std::vector<Shape>& shapes, detail::KeyKind kind) {
  for (size_t i = 0; i < shapes.size(); ++i)
    if (shapes[i].key.empty()) shapes[i].key = GeneratedKey(kind, i);
}

std::string NextNodeId(const std::vector<NodeSpec>& nodes) {
  long highest = 0;
  for (const auto& node : nodes) highest = std::max(highest, std::strtol(node.id.c_str(), nullptr, 10));
  return std::to_string(highest + 1);
}

ClusterSpec Completed(ClusterSpec shape) {
  for (size_t i = 0; i < shape.nodes.size(); ++i)
    if (shape.nodes[i].id.empty()) shape.nodes[i].id = std::to_string(i + 1);
  FillKeys(shape.groups, detail::kGroupKeys);
  FillKeys(shape.resources, detail::kResourceKeys);
  FillKeys(shape.networks, detail::kNetworkKeys);
  std::vector<InterfaceSpec> interfaces = std::move(shape.interfaces);
  shape.interfaces.clear();
  for (size_t i = 0; i < interfaces.size(); ++i) {
    CompleteInterface(shape, interfaces[i], i);
    shape.interfaces.push_back(std::move(interfaces[i]));
  }
  return shape;
}

void DefineClusterService(Machine& machine) {
  services::ServiceConfig config;
  config.name = "ClusSvc";
  config.displayName = "Cluster Service";
  config.startType = SERVICE_AUTO_START;
  config.imagePath = "%SystemRoot%\\Cluster\\clussvc.exe";
  config.initialState = SERVICE_RUNNING;
  services::Define(config, &machine);
}

void Join(Machine& machine, const std::shared_ptr<Model>& model) {
  detail::Membership& membership = detail::MembershipOf(machine);
  membership.softwareInstalled = true;
  membership.answering = true;
  membership.cluster = model;
}

NodeSpec* FindNodeSpec(Model& model, std::string_view name) {
  for (auto& node : model.shape.nodes)
    if (EqualsNoCase(node.name, name)) return &node;
  return nullptr;
}

}  // namespace

void Install(const ClusterSpec& input) {
  auto model = std::make_shared<Model>();
  model->shape = Completed(input);
  std::vector<Machine*> machines;  // the world adds missing ones
  for (const auto& node : model->shape.nodes) machines.push_back(&World::Get().Add(node.name));
  std::vector<Machine*> previous;
  {
    std::lock_guard lock(detail::Mutex());
    if (auto old = detail::FindCluster(input.name))
      for (const auto& node : old->shape.nodes)
        if (Machine* machine = World::Get().Find(node.name)) previous.push_back(machine);
  }
  for (Machine* machine : machines) {
    WriteDatabase(*machine, model->shape);
    DefineClusterService(*machine);
  }
  std::lock_guard lock(detail::Mutex());
  auto old = detail::FindCluster(input.name);
  for (Machine* machine : previous)
    if (detail::MembershipOf(*machine).cluster == old) detail::MembershipOf(*machine).cluster = nullptr;
  detail::StoreCluster(model);
  for (Machine* machine : machines) Join(*machine, model);
}

ClusterSpec Describe(std::string_view cluster) {
  std::lock_guard lock(detail::Mutex());
  auto model = detail::FindCluster(cluster);
  return model ? model->shape : ClusterSpec{};
}

void AddNode(std::string_view cluster, const NodeSpec& input) {
  NodeSpec node = input;
  ClusterSpec shape;
  std::shared_ptr<Model> model;
  {
    std::lock_guard lock(detail::Mutex());
    model = detail::FindCluster(cluster);
    if (!model) return;
    if (node.id.empty()) node.id = NextNodeId(model->shape.nodes);
    model->shape.nodes.push_back(node);
    shape = model->shape;
  }
  World::Get().Add(node.name);
  std::vector<Machine*> machines = MemberMachines(shape);
  for (Machine* machine : machines) {
    if (EqualsNoCase(machine->Name(), node.name)) {
      WriteDatabase(*machine, shape);
      DefineClusterService(*machine);
    } else {
      WriteNode(*machine, node);
    }
  }
  std::lock_guard lock(detail::Mutex());
  Join(World::Get().Add(node.name), model);
  detail::Deliver(*model, CLUSTER_CHANGE_NODE_ADDED, node.name, Delivery::Filtered);
}

bool RemoveNode(std::string_view cluster, std::string_view name) {
  Machine* evicted = World::Get().Find(name);
  NodeSpec node;
  ClusterSpec shape;
  std::shared_ptr<Model> model;
  {
    std::lock_guard lock(detail::Mutex());
    model = detail::FindCluster(cluster);
    NodeSpec* found = model ? FindNodeSpec(*model, name) : nullptr;
    if (!found) return false;
    node = *found;
    std::erase_if(model->shape.nodes, [&](const NodeSpec& n) { return &n == found; });
    shape = model->shape;
    if (evicted && detail::MembershipOf(*evicted).cluster == model) {
      detail::MembershipOf(*evicted).cluster = nullptr;
      detail::MembershipOf(*evicted).softwareInstalled = false;
    } else {
      evicted = nullptr;  // not this cluster's member: its machine keeps what it has
    }
  }
  for (Machine* machine : MemberMachines(shape)) registry::DeleteKeyTree(detail::NodeKeyPath(node), machine);
  if (evicted) {
    registry::DeleteKeyTree(detail::kDatabaseRoot, evicted);
    services::Remove("ClusSvc", evicted);
  }
  std::lock_guard lock(detail::Mutex());
  detail::Deliver(*model, CLUSTER_CHANGE_NODE_DELETED, node.name, Delivery::Filtered);
  return true;
}

bool SetNodeState(std::string_view cluster, std::string_view name, CLUSTER_NODE_STATE state) {
  std::lock_guard lock(detail::Mutex());
  auto model = detail::FindCluster(cluster);
  NodeSpec* node = model ? FindNodeSpec(*model, name) : nullptr;
  if (!node) return false;
  node->state = state;
  detail::Deliver(*model, CLUSTER_CHANGE_NODE_STATE, node->name, Delivery::Filtered);
  return true;
}

void AddNetworkInterface(std::string_view cluster, const InterfaceSpec& input) {
  InterfaceSpec networkInterface = input;
  ClusterSpec shape;
  std::shared_ptr<Model> model;
  {
    std::lock_guard lock(detail::Mutex());
    model = detail::FindCluster(cluster);
    if (!model) return;
    CompleteInterface(model->shape, networkInterface, model->shape.interfaces.size());
    model->shape.interfaces.push_back(networkInterface);
    shape = model->shape;
  }
  for (Machine* machine : MemberMachines(shape)) WriteInterface(*machine, networkInterface);
  std::lock_guard lock(detail::Mutex());
  detail::Deliver(*model, CLUSTER_CHANGE_NETINTERFACE_ADDED, networkInterface.name, Delivery::Filtered);
}

void Post(std::string_view cluster, DWORD filterType, std::string_view objectName, Delivery delivery) {
  std::lock_guard lock(detail::Mutex());
  if (auto model = detail::FindCluster(cluster)) detail::Deliver(*model, filterType, objectName, delivery);
}

void InvalidatePorts(std::string_view cluster) {
  std::lock_guard lock(detail::Mutex());
  if (auto model = detail::FindCluster(cluster))
    for (auto& port : model->ports) detail::Invalidate(*port);
}

void SetAnswering(Machine& machine, bool answering) {
  std::lock_guard lock(detail::Mutex());
  detail::MembershipOf(machine).answering = answering;
}

std::vector<DWORD> VersionRecordSizes(std::string_view cluster) {
  std::lock_guard lock(detail::Mutex());
  auto model = detail::FindCluster(cluster);
  return model ? model->versionRecordSizes : std::vector<DWORD>{};
}

std::size_t OpenPortCount(std::string_view cluster) {
  std::lock_guard lock(detail::Mutex());
  auto model = detail::FindCluster(cluster);
  if (!model) return 0;
  std::size_t count = 0;
  for (const auto& port : model->ports) count += port->valid ? 1 : 0;
  return count;
}

std::vector<DWORD_PTR> PortKeys(std::string_view cluster) {
  std::lock_guard lock(detail::Mutex());
  std::vector<DWORD_PTR> keys;
  if (auto model = detail::FindCluster(cluster))
    for (const auto& port : model->ports)
      if (port->valid) keys.push_back(port->key);
  return keys;
}

bool WaitForIdlePorts(std::string_view cluster, std::chrono::milliseconds timeout) {
  std::unique_lock lock(detail::Mutex());
  return detail::PortsChanged().wait_for(lock, timeout, [&] {
    auto model = detail::FindCluster(cluster);
    if (!model) return false;
    bool any = false;
    for (const auto& port : model->ports) {
      if (!port->valid) continue;
      if (!port->queue.empty() || port->readers == 0) return false;
      any = true;
    }
    return any;
  });
}

std::size_t OpenHandleCount() {
  std::lock_guard lock(detail::Mutex());
  return detail::HandleCount();
}

}  // namespace velplat::cluster
