// The MSCS change watch after discovery has filled the tables: nodes that
// join, change or leave the cluster, notifications it ignores, and the ends
// of the watch. Discovery runs on its own thread; the virtual clock keeps
// the one-second polls from waiting for real.
#include "backends/mscs/change_watch.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/mscs_discovery.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/find_cluster_vendor.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

namespace velmon::mscs {
namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
namespace cluster = velplat::cluster;

class MscsWatch : public testing::Test {
 protected:
  void TearDown() override {
    if (discovery_.joinable()) {
      cluster::InvalidatePorts(test::kClusterName);
      discovery_.join();
    }
  }
  // Discovery's MSCS path with the cluster API bound, up to the waiting watch.
  void Start(const cluster::ClusterSpec& shape, const std::string& local = "") {
    test::InstallCluster(shape, local);
    ASSERT_EQ(1, BindClusterApi());
    discovery_ = std::thread([] { RunMscsDiscovery(MscsDiscoveryOperations()); });
    Settle();
  }
  // The watch has taken every notification and waits for the next.
  static void Settle() { ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s)); }
  static std::string Description(const char* name) {
    auto lock = LockWatchTables();
    for (NodeEntry* entry = NodeTable; entry; entry = entry->next)
      if (std::strcmp(entry->name, name) == 0) return std::to_string(entry->state) + ":" + entry->description;
    return "";
  }

  velplat::clock::VirtualTimeScope virtualTime_;
  std::thread discovery_;
};

TEST_F(MscsWatch, NodeJoiningLaterGetsEntriesWithTheEndRecordAddress) {
  Start(test::ThreeNodeCluster());
  EXPECT_EQ(4, NextNodeIndex.load());
  // Its interface is in the database, but the end record is never walked.
  cluster::AddNetworkInterface(test::kClusterName, {"4", "Public", "10.0.0.4"});
  cluster::AddNode(test::kClusterName, {"NODE4", "4"});
  Settle();
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1", "2:NODE2", "3:NODE3", "4:NODE4"));
  EXPECT_THAT(test::AddressRows(), ElementsAre("1:NODE1:10.0.0.1", "2:NODE2:10.0.0.2", "3:NODE3:10.0.0.3",
                                               "4:NODE4:0.0.0.0"));
  EXPECT_EQ("1:Cluster Members", Description("NODE4"));
  EXPECT_EQ(5, NextNodeIndex.load());
  EXPECT_EQ(5, NextAddressIndex.load());

  // A second report of the same node adds nothing.
  cluster::SetNodeState(test::kClusterName, "NODE4", ClusterNodeDown);
  Settle();
  EXPECT_EQ(4u, test::NodeRows().size());
}

TEST_F(MscsWatch, StateChangeOfAWatchedNodeRereadsAddressesAndRewritesTheDescription) {
  Start(test::ThreeNodeCluster());
  {
    auto lock = LockWatchTables();
    for (NodeEntry* entry = NodeTable; entry; entry = entry->next) entry->description[0] = '\0';
  }
  const auto interfaces = velplat::registry::SubkeyNames("HKLM\\Cluster\\NetworkInterfaces");
  velplat::registry::SetString("HKLM\\Cluster\\NetworkInterfaces\\" + interfaces[1], "Address", "10.0.0.22");

  cluster::SetNodeState(test::kClusterName, "node2", ClusterNodeDown);  // matched without case
  Settle();
  EXPECT_EQ("2:2:NODE2:10.0.0.22", test::Members(2)[1]);
  EXPECT_EQ(3u, test::NodeRows().size());
  EXPECT_THAT(test::AddressRows(), ElementsAre("1:NODE1:10.0.0.1", "2:NODE2:10.0.0.2", "3:NODE3:10.0.0.3"));
  EXPECT_EQ("1:Cluster Members", Description("NODE2"));
  EXPECT_EQ("1:", Description("NODE1"));

  cluster::Post(test::kClusterName, CLUSTER_CHANGE_NODE_PROPERTY, "NODE1");
  Settle();
  EXPECT_EQ("1:Cluster Members", Description("NODE1"));
}

TEST_F(MscsWatch, DeletingANodeWhoseNameLeadsAnothersRemovesBoth) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.nodes = {{"NODE1"}, {"node12"}, {"NODE3"}};
  Start(shape, "NODE3");
  ASSERT_EQ(3u, test::NodeRows().size());
  cluster::RemoveNode(test::kClusterName, "NODE1");
  Settle();
  EXPECT_THAT(test::NodeRows(), ElementsAre("3:NODE3"));
  EXPECT_THAT(test::AddressRows(), ElementsAre("3:NODE3:10.0.0.3"));
  EXPECT_EQ(4, NextNodeIndex.load());  // removed rows leave gaps
}

TEST_F(MscsWatch, PortCarriesKeyOneAndEachPollWaitsOneSecond) {
  Start(test::ThreeNodeCluster());
  EXPECT_THAT(cluster::PortKeys(test::kClusterName), ElementsAre(DWORD_PTR{1}));
  // The watchers sleep 20 s; the earliest deadline is the watch's poll. The
  // watch counts as waiting in GetClusterNotify a moment before its timed
  // wait reaches the clock, so the deadline is awaited (the clock stands).
  const std::uint64_t poll = velplat::clock::NowMs() + 1000;
  test::Eventually([&] { return velplat::clock::NextDeadline() == poll; });
  EXPECT_EQ(poll, velplat::clock::NextDeadline());
}

TEST_F(MscsWatch, OtherNotificationsAndTimeoutsChangeNothing) {
  Start(test::ThreeNodeCluster());
  cluster::Post(test::kClusterName, CLUSTER_CHANGE_GROUP_STATE, "NODE2", cluster::Delivery::AnyFilter);
  cluster::Post(test::kClusterName, CLUSTER_CHANGE_HANDLE_CLOSE, "NODE4", cluster::Delivery::AnyFilter);
  cluster::Post(test::kClusterName, CLUSTER_CHANGE_NODE_STATE, "NODE9");  // no such node
  Settle();
  for (int poll = 0; poll < 3; ++poll) {
    ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 5s));
    velplat::clock::Advance(1000ms);
    Settle();
  }
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1", "2:NODE2", "3:NODE3"));
  EXPECT_EQ(3u, test::AddressRows().size());
  EXPECT_EQ(4, NextNodeIndex.load());
  HandleMscsNotification(CLUSTER_CHANGE_RESOURCE_DELETED, "NODE1");
  EXPECT_EQ(3u, test::NodeRows().size());
  cluster::AddNode(test::kClusterName, {"NODE4", "4"});  // after its time-outs the watch still takes changes
  Settle();
  EXPECT_EQ(4u, test::NodeRows().size());
}

TEST_F(MscsWatch, NotificationWithAnOverlongNameIsTakenWithoutStoppingTheWatch) {
  Start(test::ThreeNodeCluster());
  {
    auto lock = LockWatchTables();
    NodeTable->next->description[0] = '\0';  // NODE2
  }
  cluster::AddNode(test::kClusterName, {std::string(300, 'L')});
  cluster::SetNodeState(test::kClusterName, "NODE2", ClusterNodeDown);
  Settle();
  EXPECT_EQ("1:Cluster Members", Description("NODE2"));
  EXPECT_EQ(3u, test::NodeRows().size());  // a name the enumeration cannot hold is not found
}

TEST_F(MscsWatch, InvalidatedPortEndsTheWatchAndDiscoveryKeepsTheEntries) {
  Start(test::ThreeNodeCluster());
  cluster::InvalidatePorts(test::kClusterName);
  discovery_.join();
  EXPECT_EQ(1, NextNodeIndex.load());
  EXPECT_EQ(1, NextAddressIndex.load());
  EXPECT_EQ(2, NextClusterAddressIndex.load());
  EXPECT_EQ(3u, test::NodeRows().size());
  EXPECT_EQ(0u, cluster::OpenHandleCount());  // port, cluster and every scan's handles released
}

TEST_F(MscsWatch, WatchReportsHowItEnded) {
  test::InstallCluster(test::ThreeNodeCluster());
  ASSERT_EQ(1, BindClusterApi());
  std::atomic<LONG> result{-1};
  std::thread watch([&] { result = WatchMscsChanges(); });
  Settle();
  cluster::InvalidatePorts(test::kClusterName);
  watch.join();
  EXPECT_EQ(6, result.load());

  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc);
  EXPECT_EQ(0, WatchMscsChanges());
  velplat::faults::FailCall("CreateClusterNotifyPort", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(0, WatchMscsChanges());
  cluster::SetAnswering(velplat::World::Get().Local(), false);
  EXPECT_EQ(0, WatchMscsChanges());
  EXPECT_EQ(0u, cluster::OpenHandleCount());
}

TEST_F(MscsWatch, LibraryWithoutGetClusterNotifyHasNoWatch) {
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::faults::FailCall("GetProcAddress:GetClusterNotify", ERROR_PROC_NOT_FOUND);
  ASSERT_EQ(1, BindClusterApi());
  EXPECT_EQ(0, WatchMscsChanges());
  EXPECT_EQ(0u, cluster::OpenPortCount(test::kClusterName));
}

}  // namespace
}  // namespace velmon::mscs
