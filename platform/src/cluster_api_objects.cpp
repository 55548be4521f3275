// Nodes, groups, resources and networks: open and close by name, states,
// node identifiers.
#include <clusapi.h>
#include <velplat/world.h>

#include "cluster_api_support.h"
#include "cluster_handles.h"
#include "cluster_text.h"

using namespace velplat::cluster::detail;
using velplat::cluster::NodeSpec;
using velplat::cluster::ResourceSpec;

namespace {

// Opens the object `lpszName` of `kind` in the cluster of `hCluster`; `find`
// returns whether the object exists and can be opened.
template <class Handle>
Handle OpenObject(std::string_view function, HCLUSTER hCluster, LPCWSTR lpszName, Kind kind, DWORD notFound,
                  bool (*find)(const Model&, std::string_view)) {
  if (HandleCallFails(function)) return nullptr;
  std::lock_guard lock(Mutex());
  HandleObject* cluster = FindHandle(hCluster, Kind::Cluster);
  if (!cluster) return FailWith<Handle>(ERROR_INVALID_HANDLE);
  const std::string name = Narrow(lpszName);
  if (!find(*cluster->cluster, name)) return FailWith<Handle>(notFound);
  HandleObject object;
  object.kind = kind;
  object.cluster = cluster->cluster;
  object.machine = cluster->machine;
  object.name = name;
  return static_cast<Handle>(InsertHandle(std::move(object)));
}

BOOL CloseObject(const void* handle, Kind kind) {
  std::lock_guard lock(Mutex());
  if (RemoveHandle(handle, kind)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

bool NodeOpens(const Model& model, std::string_view name) { return FindNode(model, name) != nullptr; }
bool GroupOpens(const Model& model, std::string_view name) {
  const auto* group = FindGroup(model, name);
  return group && group->opens;
}
bool ResourceOpens(const Model& model, std::string_view name) {
  const auto* resource = FindResource(model, name);
  return resource && resource->opens;
}
bool NetworkOpens(const Model& model, std::string_view name) { return FindNetwork(model, name) != nullptr; }

// The owner that group and resource states report: the first node.
std::string OwnerNode(const Model& model) { return model.shape.nodes.empty() ? "" : model.shape.nodes.front().name; }

}  // namespace

HNODE WINAPI OpenClusterNode(HCLUSTER hCluster, LPCWSTR lpszNodeName) {
  return OpenObject<HNODE>("OpenClusterNode", hCluster, lpszNodeName, Kind::Node, ERROR_CLUSTER_NODE_NOT_FOUND,
                           &NodeOpens);
}
HGROUP WINAPI OpenClusterGroup(HCLUSTER hCluster, LPCWSTR lpszGroupName) {
  return OpenObject<HGROUP>("OpenClusterGroup", hCluster, lpszGroupName, Kind::Group, ERROR_GROUP_NOT_FOUND,
                            &GroupOpens);
}
HRESOURCE WINAPI OpenClusterResource(HCLUSTER hCluster, LPCWSTR lpszResourceName) {
  return OpenObject<HRESOURCE>("OpenClusterResource", hCluster, lpszResourceName, Kind::Resource,
                               ERROR_RESOURCE_NOT_FOUND, &ResourceOpens);
}
HNETWORK WINAPI OpenClusterNetwork(HCLUSTER hCluster, LPCWSTR lpszNetworkName) {
  return OpenObject<HNETWORK>("OpenClusterNetwork", hCluster, lpszNetworkName, Kind::Network,
                              ERROR_CLUSTER_NETWORK_NOT_FOUND, &NetworkOpens);
}

BOOL WINAPI CloseClusterNode(HNODE hNode) { return CloseObject(hNode, Kind::Node); }
BOOL WINAPI CloseClusterGroup(HGROUP hGroup) { return CloseObject(hGroup, Kind::Group); }
BOOL WINAPI CloseClusterResource(HRESOURCE hResource) { return CloseObject(hResource, Kind::Resource); }
BOOL WINAPI CloseClusterNetwork(HNETWORK hNetwork) { return CloseObject(hNetwork, Kind::Network); }

CLUSTER_NODE_STATE WINAPI GetClusterNodeState(HNODE hNode) {
  std::lock_guard lock(Mutex());
  HandleObject* object = FindHandle(hNode, Kind::Node);
  const NodeSpec* node = object ? FindNode(*object->cluster, object->name) : nullptr;
  if (!node) {
    SetLastError(object ? ERROR_CLUSTER_NODE_NOT_FOUND : ERROR_INVALID_HANDLE);
    return ClusterNodeStateUnknown;
  }
  return node->state;
}

DWORD WINAPI GetClusterNodeId(HNODE hNode, LPWSTR lpszNodeId, LPDWORD lpcchName) {
  if (auto error = velplat::faults::ConsumeCall("GetClusterNodeId")) return *error;
  velplat::Machine& local = velplat::World::Get().Local();
  std::lock_guard lock(Mutex());
  const NodeSpec* node = nullptr;
  if (!hNode) {
    const auto& cluster = MembershipOf(local).cluster;
    if (!cluster) return ERROR_CLUSTER_NODE_NOT_MEMBER;
    node = FindNode(*cluster, local.Name());
    if (!node) return ERROR_CLUSTER_NODE_NOT_MEMBER;
  } else {
    HandleObject* object = FindHandle(hNode, Kind::Node);
    if (!object) return ERROR_INVALID_HANDLE;
    node = FindNode(*object->cluster, object->name);
    if (!node) return ERROR_CLUSTER_NODE_NOT_FOUND;
  }
  return CopyName(node->id, lpszNodeId, lpcchName);
}

CLUSTER_GROUP_STATE WINAPI GetClusterGroupState(HGROUP hGroup, LPWSTR lpszNodeName, LPDWORD lpcchNodeName) {
  std::lock_guard lock(Mutex());
  HandleObject* object = FindHandle(hGroup, Kind::Group);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ClusterGroupStateUnknown;
  }
  if (lpcchNodeName && CopyName(OwnerNode(*object->cluster), lpszNodeName, lpcchNodeName) != ERROR_SUCCESS) {
    SetLastError(ERROR_MORE_DATA);
    return ClusterGroupStateUnknown;
  }
  return ClusterGroupOnline;
}

CLUSTER_RESOURCE_STATE WINAPI GetClusterResourceState(HRESOURCE hResource, LPWSTR lpszNodeName,
                                                      LPDWORD lpcchNodeName, LPWSTR lpszGroupName,
                                                      LPDWORD lpcchGroupName) {
  std::lock_guard lock(Mutex());
  HandleObject* object = FindHandle(hResource, Kind::Resource);
  const ResourceSpec* resource = object ? FindResource(*object->cluster, object->name) : nullptr;
  if (!resource) {
    SetLastError(object ? ERROR_RESOURCE_NOT_FOUND : ERROR_INVALID_HANDLE);
    return ClusterResourceStateUnknown;
  }
  if ((lpcchNodeName && CopyName(OwnerNode(*object->cluster), lpszNodeName, lpcchNodeName) != ERROR_SUCCESS) ||
      (lpcchGroupName && CopyName(resource->group, lpszGroupName, lpcchGroupName) != ERROR_SUCCESS)) {
    SetLastError(ERROR_MORE_DATA);
    return ClusterResourceStateUnknown;
  }
  return ClusterResourceOnline;
}
