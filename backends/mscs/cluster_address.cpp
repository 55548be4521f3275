#include "backends/mscs/cluster_address.h"

#include "backends/mscs/cluster_handles.h"
#include "backends/mscs/cluster_objects.h"
#include "backends/mscs/mscs_interface.h"
#include "backends/mscs/wide_text.h"
#include "discovery/watch_tables.h"

#include <winsock.h>

namespace velmon::mscs {
namespace {

// Room for the announced 255 data bytes and a wide terminator after them,
// so that data read as a wide string always ends inside the buffer.
constexpr size_t kDataBufferChars = (kParameterDataBytes + 1) / sizeof(WCHAR) + 1;

// The address in the open Parameters key, or `fallback`.
DWORD AddressParameter(HKEY parameters, DWORD fallback) {
  AgentBuffer<WCHAR> valueName = AllocateBuffer<WCHAR>(kNameChars);
  AgentBuffer<WCHAR> data = AllocateBuffer<WCHAR>(kDataBufferChars);
  if (!valueName || !data) return fallback;
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kNameChars;
    DWORD dataBytes = kParameterDataBytes;
    DWORD type = 0;
    if (CallCluster<ClusterFn::ClusterRegEnumValue>(parameters, index, valueName.get(), &nameLength, &type,
                                                    reinterpret_cast<LPBYTE>(data.get()), &dataBytes) != ERROR_SUCCESS)
      return fallback;
    NarrowText name(WideToNarrow(valueName.get()));
    if (!name) return fallback;
    if (!Leads(name.get(), kAddressValue)) continue;
    NarrowText text(WideToNarrow(data.get()));
    return text ? inet_addr(text.get()) : fallback;
  }
}

}  // namespace

DWORD GetResourceIpAddress(DWORD position) {
  const DWORD fallback = inet_addr(kDefaultResourceAddress);
  ClusterHandle cluster = OpenLocalCluster();
  if (!cluster) return fallback;
  ClusterEnumHandle resources(
      CallCluster<ClusterFn::ClusterOpenEnum>(cluster.get(), static_cast<DWORD>(CLUSTER_ENUM_RESOURCE)));
  if (!resources) return fallback;
  AgentBuffer<WCHAR> name = AllocateBuffer<WCHAR>(kNameChars);
  if (!name) return fallback;
  DWORD length = kNameChars;
  DWORD type = 0;
  if (CallCluster<ClusterFn::ClusterEnum>(resources.get(), position, &type, name.get(), &length) != ERROR_SUCCESS)
    return fallback;
  ResourceHandle resource(CallCluster<ClusterFn::OpenClusterResource>(cluster.get(), static_cast<LPCWSTR>(name.get())));
  if (!resource) return fallback;
  ClusterKey key(CallCluster<ClusterFn::GetClusterResourceKey>(resource.get(), static_cast<REGSAM>(KEY_READ)));
  if (!key) return fallback;
  HKEY opened = nullptr;
  if (CallCluster<ClusterFn::ClusterRegOpenKey>(key.get(), kParametersKey, static_cast<REGSAM>(KEY_READ), &opened) !=
      ERROR_SUCCESS)
    return fallback;
  ClusterKey parameters(opened);
  return AddressParameter(parameters.get(), fallback);
}

void SetMscsClusterAddress() {
  std::optional<DWORD> position = FindClusterObjectByName(CLUSTER_ENUM_RESOURCE, kClusterAddressResource);
  if (position) ClusterIpAddress.store(GetResourceIpAddress(*position));
}

}  // namespace velmon::mscs
