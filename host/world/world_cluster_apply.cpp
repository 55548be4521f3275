// The difference between the clusters of two worlds, applied through the
// platform's cluster change calls.
#include "host/world/world_cluster_apply.h"

#include <velplat/cluster.h>

#include <algorithm>

namespace velmond {
namespace {

namespace vc = velplat::cluster;

template <class Object>
const Object* Named(const std::vector<Object>& objects, const std::string& name) {
  for (const Object& object : objects)
    if (velplat::EqualsNoCase(object.name, name)) return &object;
  return nullptr;
}

CLUSTER_NODE_STATE PlatformState(ClusterNodeState state) {
  switch (state) {
    case ClusterNodeState::Down: return ClusterNodeDown;
    case ClusterNodeState::Paused: return ClusterNodePaused;
    case ClusterNodeState::Joining: return ClusterNodeJoining;
    case ClusterNodeState::Up: break;
  }
  return ClusterNodeUp;
}

vc::NodeSpec PlatformNode(const ClusterNode& node) { return {node.name, node.id, PlatformState(node.state)}; }

vc::GroupSpec PlatformGroup(const ClusterGroup& group) {
  vc::GroupSpec platform;
  platform.name = group.name;
  platform.key = group.key;
  return platform;
}

vc::Parameter PlatformParameter(const ClusterParameter& parameter) {
  vc::Parameter platform;
  platform.name = parameter.name;
  if (parameter.isNumber)
    platform.value = static_cast<DWORD>(parameter.number);
  else
    platform.value = parameter.text;
  return platform;
}

vc::ResourceSpec PlatformResource(const ClusterResource& resource) {
  vc::ResourceSpec platform;
  platform.name = resource.name;
  platform.type = resource.type;
  platform.group = resource.group;
  platform.key = resource.key;
  for (const ClusterParameter& parameter : resource.parameters) platform.parameters.push_back(PlatformParameter(parameter));
  return platform;
}

vc::NetworkSpec PlatformNetwork(const ClusterNetwork& network) {
  vc::NetworkSpec platform;
  platform.name = network.name;
  platform.address = network.address;
  platform.addressMask = network.addressMask;
  platform.key = network.key;
  return platform;
}

// The database holds the node's identifier; the platform turns the network's
// name into its key.
vc::InterfaceSpec PlatformInterface(const ClusterSpec& cluster, const ClusterInterface& networkInterface) {
  vc::InterfaceSpec platform;
  const ClusterNode* node = Named(cluster.nodes, networkInterface.node);
  platform.node = node ? node->id : networkInterface.node;
  platform.network = networkInterface.network;
  platform.address = networkInterface.address;
  platform.name = networkInterface.name;
  platform.key = networkInterface.key;
  return platform;
}

vc::ClusterSpec PlatformCluster(const ClusterSpec& cluster) {
  vc::ClusterSpec platform;
  platform.name = cluster.name;
  platform.majorVersion = cluster.majorVersion;
  platform.minorVersion = cluster.minorVersion;
  platform.buildNumber = cluster.buildNumber;
  platform.vendorId = cluster.vendorId;
  platform.csdVersion = cluster.csdVersion;
  for (const auto& node : cluster.nodes) platform.nodes.push_back(PlatformNode(node));
  for (const auto& group : cluster.groups) platform.groups.push_back(PlatformGroup(group));
  for (const auto& resource : cluster.resources) platform.resources.push_back(PlatformResource(resource));
  for (const auto& network : cluster.networks) platform.networks.push_back(PlatformNetwork(network));
  for (const auto& networkInterface : cluster.interfaces)
    platform.interfaces.push_back(PlatformInterface(cluster, networkInterface));
  return platform;
}

// What an object is written as, beyond what it is called: a difference here
// removes and adds it.
bool SameNode(const ClusterNode* a, const ClusterNode& b) { return a && a->id == b.id; }
bool SameGroup(const ClusterGroup* a, const ClusterGroup& b) { return a && a->key == b.key; }
bool SameResource(const ClusterResource* a, const ClusterResource& b) {
  return a && a->type == b.type && velplat::EqualsNoCase(a->group, b.group) && a->key == b.key;
}
bool SameNetwork(const ClusterNetwork* a, const ClusterNetwork& b) { return a && *a == b; }

// An interface as the database holds it: node identifier and network key.
struct WrittenInterface {
  std::string nodeId, networkKey, address, name, key;
  bool operator==(const WrittenInterface&) const = default;
};
WrittenInterface Written(const ClusterSpec& cluster, const ClusterInterface& networkInterface) {
  const ClusterNode* node = Named(cluster.nodes, networkInterface.node);
  const ClusterNetwork* network = Named(cluster.networks, networkInterface.network);
  return {node ? node->id : "", network ? network->key : "", networkInterface.address, networkInterface.name,
          networkInterface.key};
}

class ClusterApplier {
 public:
  explicit ClusterApplier(ApplyReport& report) : report_(report) {}

  // Everything of `before` that `after` (null: the cluster is gone) no
  // longer has, or has in a form that needs removing and adding.
  void Remove(const ClusterSpec& before, const ClusterSpec* after) {
    const std::string& name = before.name;
    if (!after) {
      Check(vc::Uninstall(name), "removing cluster " + name);
      return;
    }
    for (const auto& old : before.interfaces) {
      if (!Named(after->interfaces, old.name)) {
        Check(vc::RemoveNetworkInterface(name, old.name), Where(name, "removing interface ", old.name));
      }
    }
    for (const auto& old : before.resources) {
      const ClusterResource* now = Named(after->resources, old.name);
      if (!SameResource(now, old)) Check(vc::RemoveResource(name, old.name), Where(name, "removing resource ", old.name));
    }
    for (const auto& old : before.groups) {
      if (!SameGroup(Named(after->groups, old.name), old)) {
        Check(vc::RemoveGroup(name, old.name), Where(name, "removing group ", old.name));
      }
    }
    for (const auto& old : before.networks) {
      if (!SameNetwork(Named(after->networks, old.name), old)) {
        Check(vc::RemoveNetwork(name, old.name), Where(name, "removing network ", old.name));
      }
    }
    for (const auto& old : before.nodes) {
      if (!SameNode(Named(after->nodes, old.name), old)) {
        Check(vc::RemoveNode(name, old.name), Where(name, "removing node ", old.name));
      }
    }
  }

  // Everything of `after` that `before` (null: the cluster is new) lacks or
  // holds otherwise.
  void Add(const ClusterSpec* before, const ClusterSpec& after) {
    const std::string& name = after.name;
    if (!before) {
      vc::Install(PlatformCluster(after));
      ++report_.changes;
      return;
    }
    if (before->majorVersion != after.majorVersion || before->minorVersion != after.minorVersion ||
        before->buildNumber != after.buildNumber || before->vendorId != after.vendorId ||
        before->csdVersion != after.csdVersion) {
      Check(vc::SetVersion(name, after.majorVersion, after.minorVersion, after.buildNumber, after.vendorId,
                           after.csdVersion),
            "cluster " + name + ": version");
    }
    for (const auto& node : after.nodes) {
      const ClusterNode* old = Named(before->nodes, node.name);
      if (!SameNode(old, node)) {
        vc::AddNode(name, PlatformNode(node));
        ++report_.changes;
      } else if (old->state != node.state) {
        Check(vc::SetNodeState(name, node.name, PlatformState(node.state)), Where(name, "state of node ", node.name));
      }
    }
    for (const auto& group : after.groups) {
      if (!SameGroup(Named(before->groups, group.name), group)) {
        Check(vc::AddGroup(name, PlatformGroup(group)), Where(name, "adding group ", group.name));
      }
    }
    for (const auto& network : after.networks) {
      if (!SameNetwork(Named(before->networks, network.name), network)) {
        Check(vc::AddNetwork(name, PlatformNetwork(network)), Where(name, "adding network ", network.name));
      }
    }
    for (const auto& resource : after.resources) {
      const ClusterResource* old = Named(before->resources, resource.name);
      if (SameResource(old, resource)) {
        Parameters(name, *old, resource);
      } else {
        Check(vc::AddResource(name, PlatformResource(resource)), Where(name, "adding resource ", resource.name));
      }
    }
    for (const auto& networkInterface : after.interfaces) {
      const ClusterInterface* old = Named(before->interfaces, networkInterface.name);
      if (!old) {
        vc::AddNetworkInterface(name, PlatformInterface(after, networkInterface));
        ++report_.changes;
      } else if (!(Written(*before, *old) == Written(after, networkInterface))) {
        Check(vc::ChangeNetworkInterface(name, old->name, PlatformInterface(after, networkInterface)),
              Where(name, "changing interface ", networkInterface.name));
      }
    }
  }

 private:
  static std::string Where(const std::string& cluster, const std::string& what, const std::string& object) {
    return "cluster " + cluster + ": " + what + object;
  }

  void Check(bool ok, const std::string& what) {
    ++report_.changes;
    if (!ok) report_.problems.push_back(what + ": refused");
  }

  void Parameters(const std::string& cluster, const ClusterResource& before, const ClusterResource& after) {
    for (const auto& parameter : after.parameters) {
      const ClusterParameter* old = Named(before.parameters, parameter.name);
      if (old && *old == parameter) continue;
      Check(vc::SetResourceParameter(cluster, after.name, PlatformParameter(parameter)),
            Where(cluster, "resource " + after.name + " parameter ", parameter.name));
    }
    for (const auto& old : before.parameters) {
      if (Named(after.parameters, old.name)) continue;
      Check(vc::RemoveResourceParameter(cluster, after.name, old.name),
            Where(cluster, "resource " + after.name + " removing parameter ", old.name));
    }
  }

  ApplyReport& report_;
};

}  // namespace

void WithdrawClusters(const WorldModel* previous, const WorldModel& next, ApplyReport& report) {
  if (!previous) return;
  ClusterApplier applier(report);
  for (const auto& [name, cluster] : previous->clusters) {
    auto now = next.clusters.find(name);
    applier.Remove(cluster, now == next.clusters.end() ? nullptr : &now->second);
  }
}

void ApplyClusters(const WorldModel* previous, const WorldModel& next, ApplyReport& report) {
  ClusterApplier applier(report);
  for (const auto& [name, cluster] : next.clusters) {
    const ClusterSpec* before = nullptr;
    if (previous) {
      auto old = previous->clusters.find(name);
      if (old != previous->clusters.end()) before = &old->second;
    }
    applier.Add(before, cluster);
  }
}

}  // namespace velmond
