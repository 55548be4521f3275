// Changes to a running cluster's groups, resources, networks, network
// interfaces and version (velplat/cluster.h): the description changes under
// the cluster lock, every member's database is rewritten where the change
// lies, and then the ports hear of it. Nothing here replaces the cluster.
#include <velplat/cluster.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include "cluster_database.h"
#include "cluster_model.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace velplat::cluster {
namespace {

using detail::MemberMachines;
using detail::Model;

struct Edited {
  std::shared_ptr<Model> model;
  ClusterSpec shape;  // as it is after the change
};

// Applies `change` to the cluster's description under the lock; nullopt when
// there is no such cluster or `change` finds nothing to change.
template <class Change>
std::optional<Edited> ChangeShape(std::string_view cluster, Change&& change) {
  std::lock_guard lock(detail::Mutex());
  auto model = detail::FindCluster(cluster);
  if (!model || !change(model->shape)) return std::nullopt;
  return Edited{model, model->shape};
}

void Announce(Model& model, DWORD type, std::string_view name) {
  std::lock_guard lock(detail::Mutex());
  detail::Deliver(model, type, name, Delivery::Filtered);
}

template <class Shape>
Shape* Named(std::vector<Shape>& shapes, std::string_view name) {
  for (Shape& shape : shapes)
    if (EqualsNoCase(shape.name, name)) return &shape;
  return nullptr;
}

// Moves the object of that name out of `shapes` into `taken`.
template <class Shape>
bool Take(std::vector<Shape>& shapes, std::string_view name, Shape& taken) {
  Shape* found = Named(shapes, name);
  if (!found) return false;
  taken = std::move(*found);
  shapes.erase(shapes.begin() + (found - shapes.data()));
  return true;
}

// Appends `added`, its key generated when empty (one no object of the kind uses).
template <class Shape>
bool Append(std::vector<Shape>& shapes, Shape& added, detail::KeyKind kind) {
  auto taken = [&](const std::string& key) {
    return std::any_of(shapes.begin(), shapes.end(), [&](const Shape& s) { return EqualsNoCase(s.key, key); });
  };
  for (size_t position = shapes.size(); added.key.empty() || taken(added.key); ++position)
    added.key = detail::GeneratedKey(kind, position);
  shapes.push_back(added);
  return true;
}

// Writes `write` on every member and announces `type` for `name`.
template <class Write>
void Publish(const Edited& edited, Write&& write, DWORD type, std::string_view name) {
  for (Machine* machine : MemberMachines(edited.shape)) write(*machine);
  Announce(*edited.model, type, name);
}

void DeleteOnMembers(const Edited& edited, const std::string& path) {
  for (Machine* machine : MemberMachines(edited.shape)) registry::DeleteKeyTree(path, machine);
}

}  // namespace

bool SetVersion(std::string_view cluster, WORD major, WORD minor, WORD build, std::string_view vendorId,
                std::string_view csdVersion) {
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) {
    shape.majorVersion = major;
    shape.minorVersion = minor;
    shape.buildNumber = build;
    shape.vendorId = vendorId;
    shape.csdVersion = csdVersion;
    return true;
  });
  if (edited) Announce(*edited->model, CLUSTER_CHANGE_CLUSTER_PROPERTY, edited->shape.name);
  return edited.has_value();
}

bool AddGroup(std::string_view cluster, const GroupSpec& input) {
  GroupSpec group = input;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) { return Append(shape.groups, group, detail::kGroupKeys); });
  if (edited) Publish(*edited, [&](Machine& m) { detail::WriteGroup(m, group); }, CLUSTER_CHANGE_GROUP_ADDED, group.name);
  return edited.has_value();
}

bool RemoveGroup(std::string_view cluster, std::string_view name) {
  GroupSpec group;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) { return Take(shape.groups, name, group); });
  if (!edited) return false;
  DeleteOnMembers(*edited, detail::GroupKeyPath(group));
  Announce(*edited->model, CLUSTER_CHANGE_GROUP_DELETED, group.name);
  return true;
}

bool AddResource(std::string_view cluster, const ResourceSpec& input) {
  ResourceSpec resource = input;
  auto edited =
      ChangeShape(cluster, [&](ClusterSpec& shape) { return Append(shape.resources, resource, detail::kResourceKeys); });
  if (edited) {
    Publish(*edited, [&](Machine& m) { detail::WriteResource(m, resource); }, CLUSTER_CHANGE_RESOURCE_ADDED,
            resource.name);
  }
  return edited.has_value();
}

bool RemoveResource(std::string_view cluster, std::string_view name) {
  ResourceSpec resource;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) { return Take(shape.resources, name, resource); });
  if (!edited) return false;
  DeleteOnMembers(*edited, detail::ResourceKeyPath(resource));
  Announce(*edited->model, CLUSTER_CHANGE_RESOURCE_DELETED, resource.name);
  return true;
}

bool SetResourceParameter(std::string_view cluster, std::string_view name, const Parameter& parameter) {
  ResourceSpec resource;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) {
    ResourceSpec* found = Named(shape.resources, name);
    if (!found) return false;
    auto& parameters = found->parameters;
    auto same = std::find_if(parameters.begin(), parameters.end(),
                             [&](const Parameter& p) { return EqualsNoCase(p.name, parameter.name); });
    if (same == parameters.end())
      parameters.push_back(parameter);
    else
      *same = parameter;
    resource = *found;
    return true;
  });
  if (edited) {
    Publish(*edited, [&](Machine& m) { detail::WriteParameter(m, resource, parameter); },
            CLUSTER_CHANGE_RESOURCE_PROPERTY, resource.name);
  }
  return edited.has_value();
}

bool RemoveResourceParameter(std::string_view cluster, std::string_view name, std::string_view parameter) {
  ResourceSpec resource;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) {
    ResourceSpec* found = Named(shape.resources, name);
    if (!found) return false;
    if (!std::erase_if(found->parameters, [&](const Parameter& p) { return EqualsNoCase(p.name, parameter); }))
      return false;
    resource = *found;
    return true;
  });
  if (!edited) return false;
  const std::string path = detail::ResourceKeyPath(resource) + "\\Parameters";
  Publish(
      *edited,
      [&](Machine& m) {
        // The last parameter takes its key along, as a resource without any has none.
        if (resource.parameters.empty())
          registry::DeleteKeyTree(path, &m);
        else
          registry::DeleteValue(path, parameter, &m);
      },
      CLUSTER_CHANGE_RESOURCE_PROPERTY, resource.name);
  return true;
}

bool AddNetwork(std::string_view cluster, const NetworkSpec& input) {
  NetworkSpec network = input;
  auto edited =
      ChangeShape(cluster, [&](ClusterSpec& shape) { return Append(shape.networks, network, detail::kNetworkKeys); });
  if (edited) {
    Publish(*edited, [&](Machine& m) { detail::WriteNetwork(m, network); }, CLUSTER_CHANGE_NETWORK_ADDED, network.name);
  }
  return edited.has_value();
}

bool RemoveNetwork(std::string_view cluster, std::string_view name) {
  NetworkSpec network;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) { return Take(shape.networks, name, network); });
  if (!edited) return false;
  DeleteOnMembers(*edited, detail::NetworkKeyPath(network));
  Announce(*edited->model, CLUSTER_CHANGE_NETWORK_DELETED, network.name);
  return true;
}

bool ChangeNetworkInterface(std::string_view cluster, std::string_view name, const InterfaceSpec& changed) {
  InterfaceSpec networkInterface = changed;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) {
    InterfaceSpec* found = Named(shape.interfaces, name);
    if (!found) return false;
    const auto position = found - shape.interfaces.data();
    networkInterface.key = found->key;
    shape.interfaces.erase(shape.interfaces.begin() + position);
    detail::CompleteInterface(shape, networkInterface, 0);
    shape.interfaces.insert(shape.interfaces.begin() + position, networkInterface);
    return true;
  });
  if (!edited) return false;
  Publish(
      *edited,
      [&](Machine& m) {
        registry::DeleteKeyTree(detail::InterfaceKeyPath(networkInterface), &m);
        detail::WriteInterface(m, networkInterface);
      },
      CLUSTER_CHANGE_NETINTERFACE_PROPERTY, networkInterface.name);
  return true;
}

bool RemoveNetworkInterface(std::string_view cluster, std::string_view name) {
  InterfaceSpec networkInterface;
  auto edited = ChangeShape(cluster, [&](ClusterSpec& shape) { return Take(shape.interfaces, name, networkInterface); });
  if (!edited) return false;
  DeleteOnMembers(*edited, detail::InterfaceKeyPath(networkInterface));
  Announce(*edited->model, CLUSTER_CHANGE_NETINTERFACE_DELETED, networkInterface.name);
  return true;
}

bool Uninstall(std::string_view cluster) {
  ClusterSpec shape = Describe(cluster);
  std::vector<Machine*> machines = MemberMachines(shape);
  {
    std::lock_guard lock(detail::Mutex());
    auto model = detail::FindCluster(cluster);
    if (!model) return false;
    for (Machine* machine : machines) {
      detail::Membership& membership = detail::MembershipOf(*machine);
      if (membership.cluster != model) continue;
      membership.cluster = nullptr;
      membership.softwareInstalled = false;
    }
    detail::EraseCluster(cluster);
  }
  for (Machine* machine : machines) {
    registry::DeleteKeyTree(detail::kDatabaseRoot, machine);
    services::Remove("ClusSvc", machine);
  }
  return true;
}

}  // namespace velplat::cluster
