// The MSCS back-end as discovery sees it. The cluster API is not bound yet,
// so detection finds no cluster and the set-up operations are never reached.
#include "backends/mscs/mscs_discovery.h"

namespace velmon::mscs {
namespace {

LONG DetectMscsCluster() { return 0; }

}  // namespace

const DiscoveryOperations& MscsDiscoveryOperations() {
  static const DiscoveryOperations operations = {&DetectMscsCluster, nullptr, nullptr, nullptr,
                                                 nullptr,            nullptr, nullptr, nullptr};
  return operations;
}

}  // namespace velmon::mscs
