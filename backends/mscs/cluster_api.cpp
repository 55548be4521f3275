// BindClusterApi: the library by name, the names in the order of binding.
#include "backends/mscs/cluster_api.h"

#include "backends/mscs/mscs_interface.h"

namespace velmon::mscs {

ClusterApiRow ClusterApiTable[kClusterApiRows] = {
#define VELMON_CLUSTER_ROW_ENTRY(name) {#name, nullptr},
    VELMON_CLUSTER_API_ROWS(VELMON_CLUSTER_ROW_ENTRY)
#undef VELMON_CLUSTER_ROW_ENTRY
};

namespace {

struct Binding {
  ClusterFn row;
  FARPROC (*fallback)();
};

#define VELMON_BIND(name) Binding{ClusterFn::name, &ClusterFallbackAddress<ClusterFn::name>}

// Keys, registry, opening, closing, then queries.
const Binding kBindingOrder[kClusterApiRows] = {
    VELMON_BIND(GetClusterResourceKey), VELMON_BIND(GetClusterGroupKey),  VELMON_BIND(GetClusterKey),
    VELMON_BIND(GetClusterNetworkKey),  VELMON_BIND(ClusterRegCloseKey),  VELMON_BIND(ClusterRegOpenKey),
    VELMON_BIND(ClusterRegEnumKey),     VELMON_BIND(OpenCluster),         VELMON_BIND(CreateClusterNotifyPort),
    VELMON_BIND(OpenClusterNetwork),    VELMON_BIND(ClusterOpenEnum),     VELMON_BIND(ClusterGroupOpenEnum),
    VELMON_BIND(GetClusterGroupState),  VELMON_BIND(GetClusterNodeState), VELMON_BIND(GetClusterResourceState),
    VELMON_BIND(OpenClusterNode),       VELMON_BIND(OpenClusterResource), VELMON_BIND(OpenClusterGroup),
    VELMON_BIND(CloseCluster),          VELMON_BIND(CloseClusterGroup),   VELMON_BIND(CloseClusterNode),
    VELMON_BIND(CloseClusterResource),  VELMON_BIND(CloseClusterNetwork), VELMON_BIND(CloseClusterNotifyPort),
    VELMON_BIND(GetClusterInformation), VELMON_BIND(ClusterEnum),         VELMON_BIND(ClusterCloseEnum),
    VELMON_BIND(GetClusterNodeId),      VELMON_BIND(ClusterGroupCloseEnum), VELMON_BIND(ClusterGroupEnum),
    VELMON_BIND(ClusterRegEnumValue),   VELMON_BIND(GetClusterNotify),
};

#undef VELMON_BIND

}  // namespace

LONG BindClusterApi() {
  // The library stays loaded for the life of the process.
  HMODULE library = LoadLibraryA(kClusterLibrary);
  if (!library) return 0;
  for (const Binding& binding : kBindingOrder) {
    ClusterApiRow& row = ClusterApiTable[static_cast<size_t>(binding.row)];
    FARPROC address = GetProcAddress(library, row.name);
    row.address = address ? address : binding.fallback();
  }
  return 1;
}

bool ClusterApiExported(ClusterFn row) {
  FARPROC address = ClusterApiTable[static_cast<size_t>(row)].address;
  if (!address) return false;
  for (const Binding& binding : kBindingOrder)
    if (binding.row == row) return address != binding.fallback();
  return false;
}

}  // namespace velmon::mscs
