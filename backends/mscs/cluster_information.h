// GetClusterInformation as the MSCS back-end asks it: the cluster's name
// and, for detection and the vendor and version answers, the cluster's
// version in the first cluster release's record (CLUSTERVERSIONINFO_NT4,
// 268 bytes), whose size field is set to those 268 bytes. The SDK's
// CLUSTERVERSIONINFO has grown since (284 bytes); every cluster release
// accepts the first record, so the back-end announces that size on every
// system.
// Thread-safety: any thread; each caller owns its buffers and record.
#ifndef VELMON_BACKENDS_MSCS_CLUSTER_INFORMATION_H
#define VELMON_BACKENDS_MSCS_CLUSTER_INFORMATION_H

#include "backends/mscs/cluster_api.h"

namespace velmon::mscs {

using ClusterVersionRecord = CLUSTERVERSIONINFO_NT4;
inline constexpr DWORD kVersionRecordBytes = 268;
static_assert(sizeof(ClusterVersionRecord) == kVersionRecordBytes,
              "the cluster is asked for the first release's 268-byte version record");

// The cluster's name into `name` (`*length` characters, the terminator
// included) and, when `version` is not null, its version into that record.
// The cluster API's result: ERROR_SUCCESS or a system error code.
inline DWORD QueryClusterInformation(HCLUSTER cluster, WCHAR* name, DWORD* length, ClusterVersionRecord* version) {
  if (version) version->dwVersionInfoSize = kVersionRecordBytes;
  return CallCluster<ClusterFn::GetClusterInformation>(cluster, name, length,
                                                       reinterpret_cast<LPCLUSTERVERSIONINFO>(version));
}

}  // namespace velmon::mscs

#endif
