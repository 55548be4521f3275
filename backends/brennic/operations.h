// The Brennic Clusters back-end's cluster attribute operations, for the
// dispatch on ClusterVendor 1.
#ifndef VELMON_BACKENDS_BRENNIC_OPERATIONS_H
#define VELMON_BACKENDS_BRENNIC_OPERATIONS_H

#include "agent/cluster_attributes.h"

namespace velmon::brennic {

// The six Brennic operations; the MIB identifier and the node state column
// are left to the defaults (null members).
const ClusterOperations* BrennicOperations();

}  // namespace velmon::brennic

#endif
