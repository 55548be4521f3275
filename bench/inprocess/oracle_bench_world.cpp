// Oracle RAC world: members r001.. (public names, also their machine names)
// with private names p001.., each with the cluster manager's service running
// and the agent account; the first member is the local machine. The HOSTS
// file exists but names nobody, so names resolve through the resolver.
#include "bench_world.h"
#include "table_wait.h"

#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <cstdio>
#include <string>
#include <vector>

namespace velmon::bench {
namespace {

std::string Name(const char* prefix, int i) {
  char name[16];
  std::snprintf(name, sizeof name, "%s%03d", prefix, i);
  return name;
}

}  // namespace

const char* BackendName() { return "oracle"; }

bool BuildWorld(int members) {
  // Members past the member table's capacity never reach the MIB.
  if (members < 1 || members > kMemberCapacity) return false;
  std::vector<test::OracleMember> list;
  for (int i = 1; i <= members; ++i)
    list.push_back({Name("r", i), Name("p", i), "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250),
                    SERVICE_RUNNING});
  test::MakeOracleMembers(list);
  test::WriteHostsFile("127.0.0.1 localhost\r\n");
  test::WriteClusterManagerKey(list);
  test::RegisterAgentEventSource();
  return true;
}

bool AwaitCompleteMib(int members, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  return WaitForTableRows(static_cast<size_t>(members), deadline) &&
         test::Eventually([] { return ClusterVendor.load() == kVendorOracle && WatchTablesReady.load() == 1; },
                          static_cast<int>(timeout.count()));
}

}  // namespace velmon::bench
