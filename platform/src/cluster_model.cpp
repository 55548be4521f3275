#include "cluster_model.h"

#include <velplat/world.h>

#include <map>

namespace velplat::cluster::detail {
namespace {

std::map<std::string, std::shared_ptr<Model>, NoCaseLess>& Clusters() {
  static auto* clusters = new std::map<std::string, std::shared_ptr<Model>, NoCaseLess>();
  return *clusters;
}

template <class Shape>
const Shape* FindByName(const std::vector<Shape>& shapes, std::string_view name) {
  for (const Shape& shape : shapes)
    if (EqualsNoCase(shape.name, name)) return &shape;
  return nullptr;
}

void Signal(Port& port) {
  std::lock_guard kernelLock(kernel::KernelMutex());
  port.signal->Set();
}

}  // namespace

std::mutex& Mutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

std::condition_variable& PortsChanged() {
  static auto* changed = new std::condition_variable();
  return *changed;
}

std::shared_ptr<Model> FindCluster(std::string_view name) {
  auto& clusters = Clusters();
  auto it = clusters.find(name);
  return it == clusters.end() ? nullptr : it->second;
}

void StoreCluster(std::shared_ptr<Model> model) {
  auto& slot = Clusters()[model->shape.name];
  if (slot)
    for (auto& port : slot->ports) Invalidate(*port);
  slot = std::move(model);
}

void EraseCluster(std::string_view name) {
  auto& clusters = Clusters();
  auto it = clusters.find(name);
  if (it == clusters.end()) return;
  for (auto& port : it->second->ports) Invalidate(*port);
  clusters.erase(it);
}

Membership& MembershipOf(Machine& machine) { return machine.State<Membership>(); }

void Deliver(Model& model, DWORD type, std::string_view name, Delivery delivery) {
  for (auto& port : model.ports) {
    if (!port->valid) continue;
    if (delivery == Delivery::Filtered && (port->filter & type) == 0) continue;
    port->queue.push_back(Notification{type, std::string(name)});
    Signal(*port);
  }
  PortsChanged().notify_all();
}

void Invalidate(Port& port) {
  port.valid = false;
  port.queue.clear();
  Signal(port);
  PortsChanged().notify_all();
}

const NodeSpec* FindNode(const Model& model, std::string_view name) { return FindByName(model.shape.nodes, name); }
const GroupSpec* FindGroup(const Model& model, std::string_view name) { return FindByName(model.shape.groups, name); }
const ResourceSpec* FindResource(const Model& model, std::string_view name) {
  return FindByName(model.shape.resources, name);
}
const NetworkSpec* FindNetwork(const Model& model, std::string_view name) {
  return FindByName(model.shape.networks, name);
}

std::string NodeKeyPath(const NodeSpec& node) { return std::string(kDatabaseRoot) + "\\Nodes\\" + node.id; }
std::string GroupKeyPath(const GroupSpec& group) { return std::string(kDatabaseRoot) + "\\Groups\\" + group.key; }
std::string ResourceKeyPath(const ResourceSpec& resource) {
  return std::string(kDatabaseRoot) + "\\Resources\\" + resource.key;
}
std::string NetworkKeyPath(const NetworkSpec& network) {
  return std::string(kDatabaseRoot) + "\\Networks\\" + network.key;
}
std::string InterfaceKeyPath(const InterfaceSpec& networkInterface) {
  return std::string(kDatabaseRoot) + "\\NetworkInterfaces\\" + networkInterface.key;
}

}  // namespace velplat::cluster::detail
