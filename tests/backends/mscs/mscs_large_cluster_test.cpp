// Clusters of 256 and 300 nodes through the MSCS back-end: the member table
// keeps 255 nodes and its end record, the watch tables and the MIB every
// node; an entry that cannot be created is reported with its node's name.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "agent/support/snmp_request.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/mscs_discovery.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/watch_tables.h"
#include "discovery/find_cluster_vendor.h"
#include "discovery/member_table.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;
using testing::ElementsAre;
namespace cluster = velplat::cluster;

// "index:name" of the node table (nodes) or the address table, in order.
std::vector<std::string> Rows(bool nodes) { return nodes ? test::NodeNameRows() : test::AddressNameRows(); }

std::string NodeName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "N%03d", i);
  return name;
}

cluster::ClusterSpec ClusterOf(int nodes) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.nodes.clear();
  for (int i = 1; i <= nodes; ++i) shape.nodes.push_back({NodeName(i)});
  return shape;
}

// The row numbers a GetNext walk of the node number column visits.
std::vector<UINT> NodeNumberColumn() {
  std::vector<UINT> rows;
  for (const auto& name : test::Walk("1.2.11.1.1", 1000)) {
    if (name.rfind("1.2.11.1.1.", 0) != 0) break;
    rows.push_back(static_cast<UINT>(std::stoul(name.substr(11))));
  }
  return rows;
}

class MscsLargeCluster : public testing::TestWithParam<int> {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;
};

TEST_P(MscsLargeCluster, MemberTableKeeps255NodesAndTheMibShowsThemAll) {
  const int nodes = GetParam();
  test::InstallCluster(ClusterOf(nodes));
  test::RegisterAgentEventSource();
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);  // no Oracle: MSCS
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 100s));  // slow only under TSan

  {
    auto lock = LockMemberTable();
    EXPECT_EQ(255, MemberTable[254].memberNumber);
    EXPECT_STREQ("N255", MemberTable[254].name);
    EXPECT_EQ(0, MemberTable[255].memberNumber);  // the end record
    EXPECT_STREQ("", MemberTable[255].name);
    EXPECT_EQ(-1, FindMemberByName("N256"));
  }
  std::vector<std::string> rows = Rows(true);
  ASSERT_EQ(static_cast<size_t>(nodes), rows.size());
  EXPECT_EQ(std::to_string(nodes) + ":" + NodeName(nodes), rows.back());
  EXPECT_EQ(static_cast<size_t>(nodes), Rows(false).size());
  std::vector<UINT> column = NodeNumberColumn();
  ASSERT_EQ(static_cast<size_t>(nodes), column.size());
  for (int i = 0; i < nodes; ++i) EXPECT_EQ(static_cast<UINT>(i + 1), column[i]);
  EXPECT_EQ(NodeName(nodes), Get("1.2.11.1.2." + std::to_string(nodes)).bytes);
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2." + std::to_string(nodes + 1)).status);
  EXPECT_EQ(SNMP_ERRORSTATUS_NOERROR, Get("1.2.12.1.2." + std::to_string(nodes) + ".1").status);
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, MscsLargeCluster, testing::Values(256, 300));

TEST(MscsLargeClusterFailure, NodeEntryThatCannotBeCreatedIsReportedAndEndsTheNodeLoopOnly) {
  velplat::clock::VirtualTimeScope virtualTime;
  test::InstallCluster(ClusterOf(300));
  test::RegisterAgentEventSource();
  ASSERT_EQ(1, mscs::BindClusterApi());
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 256);  // node 257's watcher
  // Discovery on this thread, up to the watch, which ends as soon as its port
  // exists.
  std::thread invalidator([] {
    while (cluster::OpenPortCount(test::kClusterName) == 0) std::this_thread::sleep_for(1ms);
    cluster::InvalidatePorts(test::kClusterName);
  });
  RunMscsDiscovery(mscs::MscsDiscoveryOperations());
  invalidator.join();
  EXPECT_EQ(256u, Rows(true).size());
  EXPECT_EQ(300u, Rows(false).size());
  auto events = test::EventsWithId(VELMON_ENTRY_NOT_CREATED);
  ASSERT_EQ(1u, events.size());
  EXPECT_THAT(events[0].strings, ElementsAre("N257"));
}

}  // namespace
}  // namespace velmon
