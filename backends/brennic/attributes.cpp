// Brennic Clusters cluster attributes.
#include "backends/brennic/attributes.h"

#include "backends/brennic/brennic_interface.h"
#include "backends/brennic/no_case.h"
#include "backends/brennic/node_operations.h"
#include "backends/brennic/registry_key.h"

#include <winsvc.h>

#include <algorithm>
#include <cstring>

namespace velmon::brennic {
namespace {

// Byte count the registry is asked for, one less than the buffers hold.
constexpr DWORD kReadBytes = kTextBufferSize - 1;

// A service control manager or service handle, closed on scope exit.
class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  explicit operator bool() const { return handle_ != nullptr; }
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

void SetText(AttrString* value, const char* text, INT length) {
  std::memcpy(value->buffer, text, static_cast<size_t>(length));
  value->length = length;
}

// Whether the failover manager can be asked and is in any state but stopped.
bool ManagerIsUp() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
  if (!manager) return false;
  ServiceHandle service(OpenServiceA(manager.get(), kManagerService, SERVICE_QUERY_STATUS));
  if (!service) return false;
  SERVICE_STATUS status{};
  return QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
}

}  // namespace

Status GetClusterVendorName(AttrString* value, UINT*, const RowIndex*) {
  std::memcpy(value->buffer, kVendorText, sizeof kVendorText);
  value->length = sizeof kVendorText - 1;
  return kNoError;
}

Status GetClusterSoftwareVersion(AttrString* value, UINT*, const RowIndex* row) {
  value->length = 0;
  RegistryKey product(HKEY_LOCAL_MACHINE, kProductKey);
  if (!product) return kNoError;
  char name[kTextBufferSize] = {};
  DWORD position = row && row->count > 0 ? row->arcs[0] : 0;
  if (RegEnumKeyA(product.get(), position, name, kReadBytes) != ERROR_SUCCESS) return kNoError;
  if (EqualsNoCase(name, kCurrentVersionSubkey))
    SetText(value, kCurrentVersionText, sizeof kCurrentVersionText - 1);
  else
    SetText(value, name, std::min(static_cast<INT>(std::strlen(name)), kMaxTextAnswer));
  return kNoError;
}

Status GetClusterServiceStatus(INT* value, UINT*, const RowIndex*) {
  RegistryKey database(HKEY_LOCAL_MACHINE, kDatabaseKey);
  if (!database) {
    *value = kStatusNoDatabase;
    return kNoError;
  }
  char first[kTextBufferSize];
  bool listsSomething = RegEnumKeyA(database.get(), 0, first, kReadBytes) == ERROR_SUCCESS;
  *value = listsSomething && ManagerIsUp() ? kStatusManagerUp : kStatusManagerDown;
  return kNoError;
}

Status GetClusterSoftwareType(INT* value, UINT*, const RowIndex*) {
  *value = kSoftwareType;
  return kNoError;
}

Status GetLocalNodeIndex(INT* value, UINT*, const RowIndex*) {
  *value = 0;
  char computer[kTextBufferSize] = {};
  {
    RegistryKey key(HKEY_LOCAL_MACHINE, kComputerNameKey);
    DWORD size = kReadBytes;
    if (!key || RegQueryValueExA(key.get(), kComputerNameValue, nullptr, nullptr, reinterpret_cast<BYTE*>(computer),
                                 &size) != ERROR_SUCCESS)
      return kNoError;
  }
  int position = FindBrennicNodePosition(computer);
  if (position != -1) *value = position;
  return kNoError;
}

Status GetClusterName(AttrString* value, UINT*, const RowIndex*) {
  value->length = 0;
  RegistryKey parameters(HKEY_LOCAL_MACHINE, kParametersKey);
  if (!parameters) return kNoError;
  char name[kTextBufferSize] = {};
  DWORD size = kReadBytes;
  if (RegQueryValueExA(parameters.get(), kClusterNameValue, nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size) !=
      ERROR_SUCCESS)
    return kNoError;
  // The count the registry reports takes in the string's terminating zero.
  SetText(value, name, std::min(static_cast<INT>(size), kMaxTextAnswer));
  return kNoError;
}

}  // namespace velmon::brennic
