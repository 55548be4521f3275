// The cluster database keys: views of HKEY_LOCAL_MACHINE\Cluster on the
// machine that opened the cluster, with wide names and wide string data.
#include <clusapi.h>
#include <velplat/registry.h>

#include "cluster_api_support.h"
#include "cluster_handles.h"
#include "cluster_text.h"

#include <algorithm>
#include <cstring>
#include <optional>

using namespace velplat::cluster::detail;

namespace {

struct KeyPlace {
  velplat::Machine* machine = nullptr;
  std::string path;
};

// Where the object behind `handle` keeps its database key. Lock held.
std::optional<KeyPlace> ObjectKey(const void* handle, Kind kind) {
  HandleObject* object = FindHandle(handle, kind);
  if (!object) return std::nullopt;
  KeyPlace place{object->machine, ""};
  if (kind == Kind::Key) {
    place.path = object->path;
    return place;
  }
  const Model& model = *object->cluster;
  switch (kind) {
    case Kind::Cluster:
      place.path = kDatabaseRoot;
      break;
    case Kind::Group:
      if (const auto* group = FindGroup(model, object->name)) place.path = GroupKeyPath(*group);
      break;
    case Kind::Resource:
      if (const auto* resource = FindResource(model, object->name)) place.path = ResourceKeyPath(*resource);
      break;
    case Kind::Network:
      if (const auto* network = FindNetwork(model, object->name)) place.path = NetworkKeyPath(*network);
      break;
    default:
      return std::nullopt;
  }
  return place;
}

std::optional<KeyPlace> OpenKeyPlace(const void* handle) {
  std::lock_guard lock(Mutex());
  return ObjectKey(handle, Kind::Key);
}

// A key handle for an existing key; `error` (ERROR_FILE_NOT_FOUND) when the
// key is missing.
HKEY PublishKey(const KeyPlace& place, DWORD* error) {
  if (place.path.empty() || !velplat::registry::KeyExists(place.path, place.machine)) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  HandleObject object;
  object.kind = Kind::Key;
  object.machine = place.machine;
  object.path = place.path;
  std::lock_guard lock(Mutex());
  return static_cast<HKEY>(InsertHandle(std::move(object)));
}

HKEY ObjectKeyHandle(std::string_view function, const void* handle, Kind kind) {
  if (HandleCallFails(function)) return nullptr;
  std::optional<KeyPlace> place;
  {
    std::lock_guard lock(Mutex());
    place = ObjectKey(handle, kind);
  }
  if (!place) return FailWith<HKEY>(ERROR_INVALID_HANDLE);
  DWORD error = ERROR_SUCCESS;
  HKEY key = PublishKey(*place, &error);
  if (!key) SetLastError(error);
  return key;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A value's data as the cluster API hands it out: text widened byte by byte.
std::vector<BYTE> ApiData(const velplat::registry::Value& value) {
  if (!IsText(value.type)) return value.data;
  std::vector<BYTE> wide(value.data.size() * sizeof(WCHAR));
  for (size_t i = 0; i < value.data.size(); ++i) {
    const WCHAR c = value.data[i];
    std::memcpy(wide.data() + i * sizeof(WCHAR), &c, sizeof c);
  }
  return wide;
}

}  // namespace

HKEY WINAPI GetClusterKey(HCLUSTER hCluster, REGSAM) {
  return ObjectKeyHandle("GetClusterKey", hCluster, Kind::Cluster);
}
HKEY WINAPI GetClusterGroupKey(HGROUP hGroup, REGSAM) {
  return ObjectKeyHandle("GetClusterGroupKey", hGroup, Kind::Group);
}
HKEY WINAPI GetClusterResourceKey(HRESOURCE hResource, REGSAM) {
  return ObjectKeyHandle("GetClusterResourceKey", hResource, Kind::Resource);
}
HKEY WINAPI GetClusterNetworkKey(HNETWORK hNetwork, REGSAM) {
  return ObjectKeyHandle("GetClusterNetworkKey", hNetwork, Kind::Network);
}

LONG WINAPI ClusterRegOpenKey(HKEY hKey, LPCWSTR lpszSubKey, REGSAM, PHKEY phkResult) {
  if (auto error = velplat::faults::ConsumeCall("ClusterRegOpenKey")) return static_cast<LONG>(*error);
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  std::optional<KeyPlace> place = OpenKeyPlace(hKey);
  if (!place) return ERROR_INVALID_HANDLE;
  const std::string subKey = Narrow(lpszSubKey);
  if (!subKey.empty()) place->path += "\\" + subKey;
  DWORD error = ERROR_SUCCESS;
  HKEY key = PublishKey(*place, &error);
  if (!key) return static_cast<LONG>(error);
  *phkResult = key;
  return ERROR_SUCCESS;
}

LONG WINAPI ClusterRegCloseKey(HKEY hKey) {
  std::lock_guard lock(Mutex());
  return RemoveHandle(hKey, Kind::Key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI ClusterRegEnumKey(HKEY hKey, DWORD dwIndex, LPWSTR lpszName, LPDWORD lpcchName,
                              PFILETIME lpftLastWriteTime) {
  std::optional<KeyPlace> place = OpenKeyPlace(hKey);
  if (!place) return ERROR_INVALID_HANDLE;
  const auto names = velplat::registry::SubkeyNames(place->path, place->machine);
  if (dwIndex >= names.size()) return ERROR_NO_MORE_ITEMS;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return static_cast<LONG>(CopyName(names[dwIndex], lpszName, lpcchName));
}

DWORD WINAPI ClusterRegEnumValue(HKEY hKey, DWORD dwIndex, LPWSTR lpszValueName, LPDWORD lpcchValueName,
                                 LPDWORD lpdwType, LPBYTE lpData, LPDWORD lpcbData) {
  if (auto error = velplat::faults::ConsumeCall("ClusterRegEnumValue")) return *error;
  std::optional<KeyPlace> place = OpenKeyPlace(hKey);
  if (!place) return ERROR_INVALID_HANDLE;
  const auto names = velplat::registry::ValueNames(place->path, place->machine);
  if (dwIndex >= names.size()) return ERROR_NO_MORE_ITEMS;
  const auto value = velplat::registry::GetValue(place->path, names[dwIndex], place->machine);
  if (!value) return ERROR_NO_MORE_ITEMS;  // deleted meanwhile
  if (DWORD result = CopyName(names[dwIndex], lpszValueName, lpcchValueName); result != ERROR_SUCCESS)
    return result;
  if (lpdwType) *lpdwType = value->type;
  if (!lpcbData) return lpData ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const std::vector<BYTE> data = ApiData(*value);
  const DWORD room = *lpcbData;
  *lpcbData = static_cast<DWORD>(data.size());
  if (!lpData) return ERROR_SUCCESS;
  if (room < data.size()) return ERROR_MORE_DATA;
  std::copy(data.begin(), data.end(), lpData);
  return ERROR_SUCCESS;
}
