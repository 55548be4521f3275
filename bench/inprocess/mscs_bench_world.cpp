// MSCS world: the cluster ALPHA of nodes N001.. (the first is the local
// machine), each with an interface 10.0.x.y on the network "Public", plus the
// cluster's IP address and name resources. The Oracle wait is made to fail
// at once, so that discovery goes on to MSCS as on a host without Oracle.
#include "bench_world.h"
#include "table_wait.h"

#include "agent/support/event_log.h"
#include "backends/mscs/support/mscs_world.h"

#include <velplat/faults.h>

#include <cstdio>
#include <string>

namespace velmon::bench {
namespace {

std::string NodeName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "N%03d", i);
  return name;
}

}  // namespace

const char* BackendName() { return "mscs"; }

bool BuildWorld(int members) {
  if (members < 1) return false;
  velplat::cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.nodes.clear();
  shape.interfaces.clear();
  for (int i = 1; i <= members; ++i) {
    shape.nodes.push_back({NodeName(i)});
    shape.interfaces.push_back(
        {std::to_string(i), "Public", "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1)});
  }
  test::InstallCluster(shape);
  test::RegisterAgentEventSource();
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);  // no Oracle: MSCS
  return true;
}

bool AwaitCompleteMib(int members, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // The tables are complete once discovery waits in the change watch.
  return WaitForTableRows(static_cast<size_t>(members), deadline) &&
         velplat::cluster::WaitForIdlePorts(test::kClusterName, timeout);
}

}  // namespace velmon::bench
