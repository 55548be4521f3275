#include "cluster_module.h"

#include <clusapi.h>
#include <velplat/world.h>

#include "cluster_model.h"

#include <utility>

namespace velplat::cluster::detail {
namespace {

// Through the generic function type, which converts to and from every other.
template <class Function>
FARPROC Export(Function* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const std::pair<const char*, FARPROC> kExports[] = {
    {"ClusterCloseEnum", Export(&ClusterCloseEnum)},
    {"ClusterEnum", Export(&ClusterEnum)},
    {"ClusterGroupCloseEnum", Export(&ClusterGroupCloseEnum)},
    {"ClusterGroupEnum", Export(&ClusterGroupEnum)},
    {"ClusterGroupOpenEnum", Export(&ClusterGroupOpenEnum)},
    {"ClusterOpenEnum", Export(&ClusterOpenEnum)},
    {"ClusterRegCloseKey", Export(&ClusterRegCloseKey)},
    {"ClusterRegEnumKey", Export(&ClusterRegEnumKey)},
    {"ClusterRegEnumValue", Export(&ClusterRegEnumValue)},
    {"ClusterRegOpenKey", Export(&ClusterRegOpenKey)},
    {"CloseCluster", Export(&CloseCluster)},
    {"CloseClusterGroup", Export(&CloseClusterGroup)},
    {"CloseClusterNetwork", Export(&CloseClusterNetwork)},
    {"CloseClusterNode", Export(&CloseClusterNode)},
    {"CloseClusterNotifyPort", Export(&CloseClusterNotifyPort)},
    {"CloseClusterResource", Export(&CloseClusterResource)},
    {"CreateClusterNotifyPort", Export(&CreateClusterNotifyPort)},
    {"GetClusterGroupKey", Export(&GetClusterGroupKey)},
    {"GetClusterGroupState", Export(&GetClusterGroupState)},
    {"GetClusterInformation", Export(&GetClusterInformation)},
    {"GetClusterKey", Export(&GetClusterKey)},
    {"GetClusterNetworkKey", Export(&GetClusterNetworkKey)},
    {"GetClusterNodeId", Export(&GetClusterNodeId)},
    {"GetClusterNodeState", Export(&GetClusterNodeState)},
    {"GetClusterNotify", Export(&GetClusterNotify)},
    {"GetClusterResourceKey", Export(&GetClusterResourceKey)},
    {"GetClusterResourceState", Export(&GetClusterResourceState)},
    {"OpenCluster", Export(&OpenCluster)},
    {"OpenClusterGroup", Export(&OpenClusterGroup)},
    {"OpenClusterNetwork", Export(&OpenClusterNetwork)},
    {"OpenClusterNode", Export(&OpenClusterNode)},
    {"OpenClusterResource", Export(&OpenClusterResource)},
};

}  // namespace

bool ClusterLibraryInstalledHere() {
  Machine& local = World::Get().Local();
  std::lock_guard lock(Mutex());
  return MembershipOf(local).softwareInstalled;
}

// Export names are case-sensitive, as GetProcAddress compares them.
FARPROC ClusterLibraryExport(std::string_view name) {
  for (const auto& [exportName, address] : kExports)
    if (name == exportName) return address;
  return nullptr;
}

}  // namespace velplat::cluster::detail
