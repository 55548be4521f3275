// The MSCS attribute operations. The cluster API is not bound yet, so MSCS
// provides none and vendor 2 answers the defaults.
#include "backends/mscs/operations.h"

namespace velmon::mscs {

const ClusterOperations* MscsOperations() { return nullptr; }

}  // namespace velmon::mscs
