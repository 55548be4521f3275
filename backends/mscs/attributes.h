// The MSCS cluster attribute operations that the dispatch calls while
// ClusterVendor is 2. Each call opens the local cluster, asks one question
// and closes it again; only GetLocalNodeIndex answers from what discovery
// kept (MemberTable and LocalNodeId). String operations answer at most 255
// characters and length 0 on any failure; only the service status answers
// genErr, when the cluster cannot be opened.
// Thread-safety: the request thread, beside the discovery thread.
#ifndef VELMON_BACKENDS_MSCS_ATTRIBUTES_H
#define VELMON_BACKENDS_MSCS_ATTRIBUTES_H

#include "agent/mib_types.h"

namespace velmon::mscs {

// The vendor identifier of the cluster's version record.
Status GetMscsVendorName(AttrString* value, UINT* scratch, const RowIndex* row);
// "<major>.<minor> Build Number <build>" from the version record.
Status GetMscsSoftwareVersion(AttrString* value, UINT* scratch, const RowIndex* row);
// 6 the cluster answers and its service is not stopped; 4 the cluster opens
// but its first group, the service control manager or the service is not
// there; 3 (with genErr) the cluster cannot be opened.
Status GetMscsServiceStatus(INT* value, UINT* scratch, const RowIndex* row);
// 23201.
Status GetMscsSoftwareType(INT* value, UINT* scratch, const RowIndex* row);
// The 1-based position of the first member whose identifier starts like the
// local node's; 0 when none does.
Status GetMscsLocalNodeIndex(INT* value, UINT* scratch, const RowIndex* row);
Status GetMscsClusterName(AttrString* value, UINT* scratch, const RowIndex* row);

}  // namespace velmon::mscs

#endif
