// The Brennic Clusters back-end's cluster attribute operations, for the
// dispatch.
#ifndef VELMON_BACKENDS_BRENNIC_OPERATIONS_H
#define VELMON_BACKENDS_BRENNIC_OPERATIONS_H

#include "agent/cluster_attributes.h"

namespace velmon::brennic {

// Null while the back-end provides none.
const ClusterOperations* BrennicOperations();

}  // namespace velmon::brennic

#endif
