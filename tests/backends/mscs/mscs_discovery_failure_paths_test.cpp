// Failure paths of MSCS discovery and its change watch that the scenario
// tests do not reach: an address entry and the cluster address entry that
// cannot be added during discovery (reported), and entries for a joining
// node that cannot be added during the watch (not reported, counters kept).
#include "agent/support/event_log.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/mscs_discovery.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/find_cluster_vendor.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using velplat::faults::FailNext;
using velplat::faults::Point;
namespace cluster = velplat::cluster;

std::vector<std::string> NotCreated() {
  std::vector<std::string> names;
  for (auto& e : test::EventsWithId(VELMON_ENTRY_NOT_CREATED)) names.push_back(e.strings.empty() ? "" : e.strings[0]);
  return names;
}

class MscsDiscoveryFailures : public testing::Test {
 protected:
  void SetUp() override {
    test::InstallCluster(test::ThreeNodeCluster());
    test::RegisterAgentEventSource();
    ASSERT_EQ(1, mscs::BindClusterApi());
  }
  void TearDown() override {
    if (discovery_.joinable()) {
      cluster::InvalidatePorts(test::kClusterName);
      discovery_.join();
    }
  }
  // Discovery's MSCS path on a thread of its own, up to the waiting watch.
  void Discover() {
    discovery_ = std::thread([] { RunMscsDiscovery(mscs::MscsDiscoveryOperations()); });
    ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  }

  velplat::clock::VirtualTimeScope virtualTime_;
  std::thread discovery_;
};

// Watcher threads start in this order: the three node entries, the three
// address entries, the cluster address entry.
TEST_F(MscsDiscoveryFailures, AddressEntryThatCannotBeAddedIsReportedAndEndsTheAddressLoop) {
  FailNext(Point::ThreadStart, 1, 4);  // NODE2's address entry
  Discover();
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1", "2:NODE2", "3:NODE3"));
  EXPECT_THAT(test::AddressRows(), ElementsAre("1:NODE1:10.0.0.1"));
  EXPECT_THAT(NotCreated(), ElementsAre("NODE2"));
  EXPECT_EQ(2, NextAddressIndex.load());
  EXPECT_EQ(2, NextClusterAddressIndex.load()) << "the cluster address entry is still added";
  auto lock = LockWatchTables();
  EXPECT_NE(ClusterAddressTable, nullptr);
}

TEST_F(MscsDiscoveryFailures, ClusterAddressEntryThatCannotBeAddedIsReportedAndStillAdvancesItsCounter) {
  FailNext(Point::ThreadStart, 1, 6);
  Discover();
  EXPECT_THAT(NotCreated(), ElementsAre("Cluster IP Address"));
  EXPECT_EQ(2, NextClusterAddressIndex.load());
  {
    auto lock = LockWatchTables();
    EXPECT_EQ(ClusterAddressTable, nullptr);
  }
  EXPECT_EQ(4, NextNodeIndex.load());
  EXPECT_EQ(4, NextAddressIndex.load());
}

TEST_F(MscsDiscoveryFailures, JoiningNodeWhoseEntriesCannotBeAddedIsNotReportedAndKeepsTheCounters) {
  Discover();
  ASSERT_EQ(4, NextNodeIndex.load());

  FailNext(Point::ThreadStart);  // NODE4's node entry
  cluster::AddNode(test::kClusterName, {"NODE4"});
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1", "2:NODE2", "3:NODE3"));
  EXPECT_EQ(4, NextNodeIndex.load());
  EXPECT_EQ(5, NextAddressIndex.load()) << "the address entry does not depend on the node entry";
  EXPECT_EQ(4u, test::AddressRows().size());

  // NODE4 has no node entry yet, so its next change adds one; now the
  // address entry cannot be added.
  FailNext(Point::ThreadStart, 1, 1);
  cluster::SetNodeState(test::kClusterName, "NODE4", ClusterNodeDown);
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1", "2:NODE2", "3:NODE3", "4:NODE4"));
  EXPECT_EQ(5, NextNodeIndex.load());
  EXPECT_EQ(5, NextAddressIndex.load());
  EXPECT_EQ(4u, test::AddressRows().size());
  EXPECT_TRUE(NotCreated().empty()) << "the change watch reports nothing";
}

}  // namespace
}  // namespace velmon
