#include "backends/mscs/cluster_objects.h"

#include "backends/mscs/cluster_handles.h"
#include "backends/mscs/mscs_interface.h"
#include "backends/mscs/wide_text.h"

#include <algorithm>
#include <cstring>

namespace velmon::mscs {
namespace {

// Whether an object of `kind` counts: resources and groups only when they
// can be opened.
bool Counts(HCLUSTER cluster, DWORD kind, const WCHAR* name) {
  if (kind == CLUSTER_ENUM_RESOURCE) return ResourceHandle(CallCluster<ClusterFn::OpenClusterResource>(cluster, name)).get();
  if (kind == CLUSTER_ENUM_GROUP) return GroupHandle(CallCluster<ClusterFn::OpenClusterGroup>(cluster, name)).get();
  return true;
}

// Walks the objects of `kind` from position 0 until `visit` (position,
// cluster, wide name) returns true, an enumeration read fails or a read
// yields no name.
template <class Visit>
void ScanObjects(DWORD kind, Visit visit) {
  ClusterHandle cluster = OpenLocalCluster();
  if (!cluster) return;
  ClusterEnumHandle list(CallCluster<ClusterFn::ClusterOpenEnum>(cluster.get(), kind));
  if (!list) return;
  AgentBuffer<WCHAR> name = AllocateBuffer<WCHAR>(kNameChars);
  if (!name) return;
  for (DWORD position = 0;; ++position) {
    DWORD length = kNameChars;
    DWORD type = 0;
    name.get()[0] = 0;
    if (CallCluster<ClusterFn::ClusterEnum>(list.get(), position, &type, name.get(), &length) != ERROR_SUCCESS) return;
    // A read that succeeds without a name (a library lacking ClusterEnum
    // answers through its fallback) would never run out: the scan ends.
    if (name.get()[0] == 0) return;
    if (visit(position, cluster.get(), name.get())) return;
  }
}

}  // namespace

bool Leads(const char* text, const char* whole) { return std::strncmp(text, whole, std::strlen(text)) == 0; }

LONG FindClusterObjectAt(DWORD kind, DWORD position, char (&destination)[kTextBufferSize]) {
  LONG found = 0;
  ScanObjects(kind, [&](DWORD at, HCLUSTER cluster, const WCHAR* name) {
    if (at != position) return false;
    if (!Counts(cluster, kind, name)) return true;
    NarrowText text(WideToNarrow(name));
    if (!text) return true;
    std::memcpy(destination, text.get(), std::min(std::strlen(text.get()), kTextBufferSize - 1));
    found = 1;
    return true;
  });
  return found;
}

std::optional<DWORD> FindClusterObjectByName(DWORD kind, const char* target) {
  std::optional<DWORD> found;
  ScanObjects(kind, [&](DWORD at, HCLUSTER cluster, const WCHAR* name) {
    if (!Counts(cluster, kind, name)) return false;
    NarrowText text(WideToNarrow(name));
    if (!text) return true;  // a conversion that cannot allocate ends the scan like a failed read
    if (!Leads(text.get(), target)) return false;
    found = at;
    return true;
  });
  return found;
}

}  // namespace velmon::mscs
