// OpenCluster, CloseCluster, GetClusterInformation.
#include <clusapi.h>
#include <velplat/world.h>

#include "cluster_api_support.h"
#include "cluster_handles.h"
#include "cluster_text.h"

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace velplat::cluster::detail;

namespace {

// The machine whose database a handle of `model` reads: the local machine
// when it is a member, else the first node's machine.
velplat::Machine* DatabaseMachine(velplat::Machine& local, const Model& model) {
  if (MembershipOf(local).cluster.get() == &model) return &local;
  for (const auto& node : model.shape.nodes)
    if (auto* machine = velplat::World::Get().Find(node.name)) return machine;
  return &local;
}

}  // namespace

HCLUSTER WINAPI OpenCluster(LPCWSTR lpszClusterName) {
  if (HandleCallFails("OpenCluster")) return nullptr;
  velplat::Machine& local = velplat::World::Get().Local();
  const std::string name = Narrow(lpszClusterName);
  velplat::Machine* named = name.empty() ? &local : velplat::World::Get().Find(name);

  std::lock_guard lock(Mutex());
  std::shared_ptr<Model> model;
  if (named) {
    Membership& membership = MembershipOf(*named);
    if (membership.answering) model = membership.cluster;
  }
  if (!model && !name.empty()) model = FindCluster(name);
  if (!model) return FailWith<HCLUSTER>(RPC_S_SERVER_UNAVAILABLE);

  HandleObject object;
  object.kind = Kind::Cluster;
  object.machine = named && MembershipOf(*named).cluster == model ? named : nullptr;
  if (!object.machine) object.machine = DatabaseMachine(local, *model);
  object.cluster = std::move(model);
  return static_cast<HCLUSTER>(InsertHandle(std::move(object)));
}

BOOL WINAPI CloseCluster(HCLUSTER hCluster) {
  std::lock_guard lock(Mutex());
  if (!RemoveHandle(hCluster, Kind::Cluster)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetClusterInformation(HCLUSTER hCluster, LPWSTR lpszClusterName, LPDWORD lpcchClusterName,
                                   LPCLUSTERVERSIONINFO lpClusterInfo) {
  if (auto error = velplat::faults::ConsumeCall("GetClusterInformation")) return *error;
  std::lock_guard lock(Mutex());
  HandleObject* object = FindHandle(hCluster, Kind::Cluster);
  if (!object) return ERROR_INVALID_HANDLE;
  const velplat::cluster::ClusterSpec& shape = object->cluster->shape;
  if (lpClusterInfo) {
    // The caller's record may be either one: read its size from the bytes
    // and write no more than it announced.
    DWORD given = 0;
    std::memcpy(&given, lpClusterInfo, sizeof given);
    object->cluster->versionRecordSizes.push_back(given);
    if (given < sizeof(CLUSTERVERSIONINFO_NT4)) return ERROR_INVALID_PARAMETER;
    CLUSTERVERSIONINFO version{};
    version.dwVersionInfoSize = given;
    version.MajorVersion = shape.majorVersion;
    version.MinorVersion = shape.minorVersion;
    version.BuildNumber = shape.buildNumber;
    CopyField(shape.vendorId, version.szVendorId, std::size(version.szVendorId));
    CopyField(shape.csdVersion, version.szCSDVersion, std::size(version.szCSDVersion));
    // Every node runs the same release.
    version.dwClusterHighestVersion = CLUSTER_MAKE_VERSION(DWORD{shape.majorVersion}, DWORD{shape.buildNumber});
    version.dwClusterLowestVersion = version.dwClusterHighestVersion;
    std::memcpy(lpClusterInfo, &version, std::min<std::size_t>(given, sizeof version));
  }
  return CopyName(shape.name, lpszClusterName, lpcchClusterName);
}
