// Brennic Clusters world: the product key, the failover manager running and
// nodes b001.. in the failover database with resolver addresses 10.2.x.y; the
// local machine is "host". The agent's first fill of the tables comes from
// an empty member table, so the nodes' rows appear with the first database
// change after the main trap thread starts following the database: the wait
// makes that change as soon as the thread waits for it.
#include "bench_world.h"
#include "table_wait.h"

#include "agent/support/event_log.h"
#include "backends/brennic/support/brennic_world.h"

#include <velplat/registry.h>
#include <velplat/world.h>

#include <cstdio>
#include <string>

namespace velmon::bench {

const char* BackendName() { return "brennic"; }

bool BuildWorld(int members) {
  if (members < 1) return false;
  velplat::World::Get().SetLocal("host");
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\CurrentVersion");
  test::DefineManagerService(SERVICE_RUNNING);
  for (int i = 1; i <= members; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "b%03d", i);
    test::AddNode({name, std::nullopt, "10.2." + std::to_string(i / 250) + "." + std::to_string(i % 250)});
  }
  test::RegisterAgentEventSource();
  return true;
}

bool AwaitCompleteMib(int members, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  if (!velplat::registry::WaitForPendingNotifications(test::kDatabasePath, 1, timeout)) return false;
  velplat::registry::SetString(test::kDatabasePath, "Touched", "1");
  return WaitForTableRows(static_cast<size_t>(members), deadline);
}

}  // namespace velmon::bench
