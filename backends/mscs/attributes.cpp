#include "backends/mscs/attributes.h"

#include "backends/mscs/cluster_handles.h"
#include "backends/mscs/cluster_information.h"
#include "backends/mscs/cluster_model.h"
#include "backends/mscs/mscs_interface.h"
#include "backends/mscs/wide_text.h"
#include "discovery/member_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace velmon::mscs {
namespace {

enum class Information { VendorName, SoftwareVersion, ClusterName };

constexpr INT kServiceUp = 6;
constexpr INT kServiceDown = 4;
constexpr INT kClusterUnreachable = 3;

void Answer(AttrString* value, const char* text) {
  const size_t length = std::min(std::strlen(text), static_cast<size_t>(kMaxTextAnswer));
  std::memcpy(value->buffer, text, length);
  value->length = static_cast<INT>(length);
}

// One text from GetClusterInformation into `value`; length 0 when any step
// fails. The status is always 0.
Status AnswerInformation(AttrString* value, Information what) {
  value->length = kMaxTextAnswer;
  ClusterHandle cluster = OpenLocalCluster();
  AgentBuffer<WCHAR> name = cluster ? AllocateBuffer<WCHAR>(kNameChars) : nullptr;
  ClusterVersionRecord version{};
  DWORD length = kNameChars;
  if (!name || QueryClusterInformation(cluster.get(), name.get(), &length,
                                       what == Information::ClusterName ? nullptr : &version) != ERROR_SUCCESS) {
    value->length = 0;
    return kNoError;
  }
  if (what == Information::SoftwareVersion) {
    char text[kTextBufferSize];
    std::snprintf(text, sizeof text, "%i.%i Build Number %i", version.MajorVersion, version.MinorVersion,
                  version.BuildNumber);
    Answer(value, text);
    return kNoError;
  }
  // The record's identifier field may be full: convert a terminated copy.
  WCHAR vendor[std::size(version.szVendorId) + 1] = {};
  std::copy(std::begin(version.szVendorId), std::end(version.szVendorId), vendor);
  NarrowText text(WideToNarrow(what == Information::VendorName ? vendor : name.get()));
  if (!text) {
    value->length = 0;
    return kNoError;
  }
  Answer(value, text.get());
  return kNoError;
}

// Whether the first group of the cluster can be opened.
bool FirstGroupOpens(HCLUSTER cluster, bool* reached) {
  *reached = false;
  ClusterEnumHandle groups(CallCluster<ClusterFn::ClusterOpenEnum>(cluster, static_cast<DWORD>(CLUSTER_ENUM_GROUP)));
  if (!groups) return false;
  AgentBuffer<WCHAR> name = AllocateBuffer<WCHAR>(kNameChars);
  if (!name) return false;
  *reached = true;
  DWORD length = kNameChars;
  DWORD type = 0;
  if (CallCluster<ClusterFn::ClusterEnum>(groups.get(), static_cast<DWORD>(0), &type, name.get(), &length) !=
      ERROR_SUCCESS)
    return false;
  return GroupHandle(CallCluster<ClusterFn::OpenClusterGroup>(cluster, static_cast<LPCWSTR>(name.get()))).get();
}

bool ServiceStopped(bool* managerReached) {
  *managerReached = false;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  if (!manager) return false;
  *managerReached = true;
  bool stopped = false;
  if (SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status{};
    stopped = QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return stopped;
}

}  // namespace

Status GetMscsVendorName(AttrString* value, UINT*, const RowIndex*) {
  return AnswerInformation(value, Information::VendorName);
}

Status GetMscsSoftwareVersion(AttrString* value, UINT*, const RowIndex*) {
  return AnswerInformation(value, Information::SoftwareVersion);
}

Status GetMscsClusterName(AttrString* value, UINT*, const RowIndex*) {
  return AnswerInformation(value, Information::ClusterName);
}

Status GetMscsServiceStatus(INT* value, UINT*, const RowIndex*) {
  *value = kServiceUp;
  {
    ClusterHandle cluster = OpenLocalCluster();
    if (!cluster) {
      *value = kClusterUnreachable;
      return kGenErr;
    }
    bool reached = false;
    const bool groupOpens = FirstGroupOpens(cluster.get(), &reached);
    if (!reached) {
      *value = kClusterUnreachable;
      return kNoError;
    }
    if (!groupOpens) {
      *value = kServiceDown;
      return kNoError;
    }
  }  // the cluster is closed before the service control manager is asked
  bool managerReached = false;
  if (ServiceStopped(&managerReached) || !managerReached) *value = kServiceDown;
  return kNoError;
}

Status GetMscsSoftwareType(INT* value, UINT*, const RowIndex*) {
  *value = kSoftwareType;
  return kNoError;
}

Status GetMscsLocalNodeIndex(INT* value, UINT*, const RowIndex*) {
  *value = 0;
  auto lock = LockMemberTable();
  for (int position = 0; position < kMemberCapacity; ++position) {
    const char* nodeId = MemberTable[position].nodeId;
    if (nodeId[0] == LocalNodeId[0]) {
      *value = position + 1;
      break;
    }
    if (nodeId[0] == '\0') break;
  }
  return kNoError;
}

}  // namespace velmon::mscs
