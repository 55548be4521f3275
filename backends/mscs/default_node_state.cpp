#include "backends/mscs/default_node_state.h"

namespace velmon::mscs {

Status GetDefaultNodeState(INT* value, UINT*, const RowIndex*) {
  *value = 1;
  return kNoError;
}

}  // namespace velmon::mscs
