#include "backends/mscs/detection.h"

#include "agent/cluster_attributes.h"
#include "backends/mscs/cluster_handles.h"
#include "backends/mscs/cluster_information.h"
#include "backends/mscs/mscs_interface.h"

namespace velmon::mscs {
namespace {

constexpr LONG kNotPresent = 0;
constexpr LONG kNotAnswering = 5;

// A service control manager handle, closed on every path.
class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

bool ServiceKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool Running(SC_HANDLE service) {
  SERVICE_STATUS status{};
  return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
}

// Waits without limit until the service runs. False when the service cannot
// be reached at all.
bool WaitForClusterService() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
  if (!manager.get()) return false;
  ServiceHandle service(OpenServiceA(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
  if (!service.get()) return false;
  for (int polls = 1; !Running(service.get()); ++polls) Sleep(polls <= kFirstPolls ? kFirstPollMs : kLaterPollMs);
  return true;
}

}  // namespace

LONG DetectMscsCluster() {
  if (!ServiceKeyExists() || !WaitForClusterService()) return kNotPresent;
  if (!BindClusterApi()) return kNotAnswering;
  ClusterHandle cluster = OpenLocalCluster();
  if (!cluster) return kNotAnswering;
  AgentBuffer<WCHAR> name = AllocateBuffer<WCHAR>(kNameChars);
  if (!name) return kNotAnswering;
  ClusterVersionRecord version{};
  DWORD length = kNameChars;
  if (QueryClusterInformation(cluster.get(), name.get(), &length, &version) != ERROR_SUCCESS) return kNotPresent;
  ClusterVendor.store(kVendorMscs, std::memory_order_release);
  return kVendorMscs;
}

}  // namespace velmon::mscs
