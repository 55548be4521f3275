// Failover databases of 256 and 300 nodes through the Brennic Clusters
// back-end: the watch tables, which have no fixed size, and the MIB show
// every node; an entry that cannot be created is reported with the node's
// name and the refresh goes on with the next node.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "agent/support/snmp_request.h"
#include "backends/brennic/support/brennic_world.h"
#include "backends/brennic/table_sync.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <chrono>
#include <cstdio>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;
using testing::ElementsAre;

std::string NodeName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "b%03d", i);
  return name;
}

void AddNodes(int count) {
  velplat::World::Get().SetLocal("host");
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\CurrentVersion");
  test::DefineManagerService(SERVICE_RUNNING);
  for (int i = 1; i <= count; ++i)
    test::AddNode({NodeName(i), std::nullopt, "10.2." + std::to_string(i / 250) + "." + std::to_string(i % 250)});
}

size_t Count(bool nodes) { return nodes ? test::NodeCount() : test::AddressCount(); }

class BrennicLargeCluster : public testing::TestWithParam<int> {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;
};

TEST_P(BrennicLargeCluster, EveryNodeGetsItsRows) {
  const int nodes = GetParam();
  AddNodes(nodes);
  test::RegisterAgentEventSource();
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kDatabasePath, 1, 30s));
  velplat::registry::SetString(test::kDatabasePath, "Touched", "1");
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kDatabasePath, 1, 60s));

  EXPECT_EQ(static_cast<size_t>(nodes), Count(true));
  EXPECT_EQ(static_cast<size_t>(nodes), Count(false));
  const std::string last = std::to_string(nodes);
  EXPECT_EQ(NodeName(nodes), Get("1.2.11.1.2." + last).bytes);
  const char lastAddress[] = {10, 2, static_cast<char>(nodes / 250), static_cast<char>(nodes % 250)};
  EXPECT_EQ(std::string(lastAddress, 4), Get("1.2.12.1.2." + last + ".1").bytes);
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2." + std::to_string(nodes + 1)).status);
  EXPECT_EQ("1.2.11.1.2.1", test::GetNext("1.2.11.1.1." + last).name);
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, BrennicLargeCluster, testing::Values(256, 300));

TEST(BrennicLargeClusterFailure, NodeEntryThatCannotBeCreatedIsReportedAndTheRefreshGoesOn) {
  velplat::clock::VirtualTimeScope virtualTime;
  AddNodes(300);
  test::RegisterAgentEventSource();
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 256);  // node 257's watcher
  brennic::RefreshBrennicNodes();
  brennic::RefreshBrennicAddresses();
  EXPECT_EQ(299u, Count(true));
  EXPECT_EQ(300u, Count(false));
  auto events = test::EventsWithId(VELMON_ENTRY_NOT_CREATED);
  ASSERT_EQ(1u, events.size());
  EXPECT_THAT(events[0].strings, ElementsAre(NodeName(257)));
  // The next refresh adds the node that was missed.
  brennic::RefreshBrennicNodes();
  EXPECT_EQ(300u, Count(true));
}

}  // namespace
}  // namespace velmon
