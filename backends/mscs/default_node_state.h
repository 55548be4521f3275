// The node state of cluster software that reports none per node: 1. Shared
// by the MSCS and Brennic Clusters node descriptions.
#ifndef VELMON_BACKENDS_MSCS_DEFAULT_NODE_STATE_H
#define VELMON_BACKENDS_MSCS_DEFAULT_NODE_STATE_H

#include "agent/mib_types.h"

namespace velmon::mscs {

// Sets the value to 1; status 0.
Status GetDefaultNodeState(INT* value, UINT* scratch, const RowIndex* row);

}  // namespace velmon::mscs

#endif
