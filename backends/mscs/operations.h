// The MSCS back-end's cluster attribute operations, for the dispatch.
#ifndef VELMON_BACKENDS_MSCS_OPERATIONS_H
#define VELMON_BACKENDS_MSCS_OPERATIONS_H

#include "agent/cluster_attributes.h"

namespace velmon::mscs {

// MSCS answers every operation but the MIB identifier (the agent's default
// for every vendor but Oracle RAC) and the node state column.
const ClusterOperations* MscsOperations();

}  // namespace velmon::mscs

#endif
