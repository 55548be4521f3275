// Cluster and group enumerations: a snapshot of names taken when the
// enumeration is opened.
#include <clusapi.h>
#include <velplat/world.h>

#include "cluster_api_support.h"
#include "cluster_handles.h"
#include "cluster_text.h"

#include <set>

using namespace velplat::cluster::detail;

namespace {

using Items = std::vector<std::pair<DWORD, std::string>>;

template <class Shape>
void AddNames(Items& items, DWORD type, const std::vector<Shape>& shapes) {
  for (const Shape& shape : shapes) items.emplace_back(type, shape.name);
}

Items ClusterItems(const velplat::cluster::ClusterSpec& shape, DWORD types) {
  Items items;
  if (types & CLUSTER_ENUM_NODE) AddNames(items, CLUSTER_ENUM_NODE, shape.nodes);
  if (types & CLUSTER_ENUM_RESTYPE) {
    std::set<std::string, velplat::NoCaseLess> seen;
    for (const auto& resource : shape.resources)
      if (seen.insert(resource.type).second) items.emplace_back(CLUSTER_ENUM_RESTYPE, resource.type);
  }
  if (types & CLUSTER_ENUM_RESOURCE) AddNames(items, CLUSTER_ENUM_RESOURCE, shape.resources);
  if (types & CLUSTER_ENUM_GROUP) AddNames(items, CLUSTER_ENUM_GROUP, shape.groups);
  if (types & CLUSTER_ENUM_NETWORK) AddNames(items, CLUSTER_ENUM_NETWORK, shape.networks);
  if (types & CLUSTER_ENUM_NETINTERFACE) AddNames(items, CLUSTER_ENUM_NETINTERFACE, shape.interfaces);
  return items;
}

Items GroupItems(const velplat::cluster::ClusterSpec& shape, std::string_view group, DWORD types) {
  Items items;
  if (types & CLUSTER_GROUP_ENUM_CONTAINS)
    for (const auto& resource : shape.resources)
      if (velplat::EqualsNoCase(resource.group, group)) items.emplace_back(CLUSTER_GROUP_ENUM_CONTAINS, resource.name);
  if (types & CLUSTER_GROUP_ENUM_NODES) AddNames(items, CLUSTER_GROUP_ENUM_NODES, shape.nodes);
  return items;
}

DWORD EnumItem(const void* handle, Kind kind, DWORD index, LPDWORD type, LPWSTR name, LPDWORD length) {
  std::lock_guard lock(Mutex());
  HandleObject* object = FindHandle(handle, kind);
  if (!object) return ERROR_INVALID_HANDLE;
  if (index >= object->items.size()) return ERROR_NO_MORE_ITEMS;
  const auto& [itemType, itemName] = object->items[index];
  if (type) *type = itemType;
  return CopyName(itemName, name, length);
}

DWORD CloseEnum(const void* handle, Kind kind) {
  std::lock_guard lock(Mutex());
  return RemoveHandle(handle, kind) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace

HCLUSENUM WINAPI ClusterOpenEnum(HCLUSTER hCluster, DWORD dwType) {
  if (HandleCallFails("ClusterOpenEnum")) return nullptr;
  std::lock_guard lock(Mutex());
  HandleObject* cluster = FindHandle(hCluster, Kind::Cluster);
  if (!cluster) return FailWith<HCLUSENUM>(ERROR_INVALID_HANDLE);
  HandleObject object;
  object.kind = Kind::Enum;
  object.cluster = cluster->cluster;
  object.items = ClusterItems(cluster->cluster->shape, dwType);
  return static_cast<HCLUSENUM>(InsertHandle(std::move(object)));
}

DWORD WINAPI ClusterEnum(HCLUSENUM hEnum, DWORD dwIndex, LPDWORD lpdwType, LPWSTR lpszName, LPDWORD lpcchName) {
  if (auto error = velplat::faults::ConsumeCall("ClusterEnum")) return *error;
  return EnumItem(hEnum, Kind::Enum, dwIndex, lpdwType, lpszName, lpcchName);
}

DWORD WINAPI ClusterCloseEnum(HCLUSENUM hEnum) { return CloseEnum(hEnum, Kind::Enum); }

HGROUPENUM WINAPI ClusterGroupOpenEnum(HGROUP hGroup, DWORD dwType) {
  if (HandleCallFails("ClusterGroupOpenEnum")) return nullptr;
  std::lock_guard lock(Mutex());
  HandleObject* group = FindHandle(hGroup, Kind::Group);
  if (!group) return FailWith<HGROUPENUM>(ERROR_INVALID_HANDLE);
  HandleObject object;
  object.kind = Kind::GroupEnum;
  object.cluster = group->cluster;
  object.items = GroupItems(group->cluster->shape, group->name, dwType);
  return static_cast<HGROUPENUM>(InsertHandle(std::move(object)));
}

DWORD WINAPI ClusterGroupEnum(HGROUPENUM hGroupEnum, DWORD dwIndex, LPDWORD lpdwType, LPWSTR lpszResourceName,
                              LPDWORD lpcchName) {
  return EnumItem(hGroupEnum, Kind::GroupEnum, dwIndex, lpdwType, lpszResourceName, lpcchName);
}

DWORD WINAPI ClusterGroupCloseEnum(HGROUPENUM hGroupEnum) { return CloseEnum(hGroupEnum, Kind::GroupEnum); }
