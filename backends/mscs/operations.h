// The MSCS back-end's cluster attribute operations, for the dispatch.
#ifndef VELMON_BACKENDS_MSCS_OPERATIONS_H
#define VELMON_BACKENDS_MSCS_OPERATIONS_H

#include "agent/cluster_attributes.h"

namespace velmon::mscs {

// Null while the back-end provides none.
const ClusterOperations* MscsOperations();

}  // namespace velmon::mscs

#endif
