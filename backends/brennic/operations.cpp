// The Brennic Clusters attribute operations: none yet, so vendor 1 answers
// the defaults.
#include "backends/brennic/operations.h"

namespace velmon::brennic {

const ClusterOperations* BrennicOperations() { return nullptr; }

}  // namespace velmon::brennic
