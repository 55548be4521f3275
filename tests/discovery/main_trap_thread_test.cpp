// The main trap thread over the failover database: opening, the first fill
// from the member table, the change loop with its refresh and prune passes,
// its end, and when it selects Brennic Clusters. Watchers sleep in virtual
// time.
#include "discovery/main_trap_thread.h"

#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/network.h>
#include <velplat/registry.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;

constexpr char kDatabase[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database";
constexpr char kNodes[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database\\Nodes";
constexpr DWORD kAddressA = 0x0A0200C0;  // 192.0.2.10
constexpr DWORD kAddressB = 0x0B0200C0;  // 192.0.2.11

class MainTrapThreadTest : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;
  std::thread thread_;

  void SetUp() override { test::RegisterAgentEventSource(); }
  void TearDown() override {
    if (thread_.joinable()) EndByDeletingTheDatabase();
  }

  void Start() { thread_ = std::thread(&MainTrapThread, nullptr); }
  // The thread has finished its pass and waits for the next change.
  static void WaitForChangeLoop() { ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(kDatabase, 1, 10s)); }
  void EndByDeletingTheDatabase() {
    velplat::registry::DeleteKeyTree(kDatabase);
    thread_.join();
  }

  static void AddMember(int position, const char* name, DWORD address) {
    auto lock = LockMemberTable();
    MemberTable[position].memberNumber = position + 1;
    StoreMemberName(MemberTable[position].name, name);
    MemberTable[position].address = address;
  }
  static void AddNodeKey(const std::string& name, const char* comment = nullptr) {
    std::string global = std::string(kNodes) + "\\" + name + "\\Global";
    if (comment)
      velplat::registry::SetString(global, "Comment", comment);
    else
      velplat::registry::CreateKey(global);
  }

  static std::vector<std::string> Nodes() { return test::FullNodeRows(); }
  static std::vector<std::string> Addresses() { return test::FullAddressRows(); }
  static std::vector<std::string> ClusterAddresses() { return test::FullClusterAddressRows(); }
  static std::vector<std::string> NotCreatedReports() { return test::NotCreatedReports(); }
};

TEST_F(MainTrapThreadTest, WithoutTheDatabaseOneEventAndNothingElse) {
  MainTrapThread(nullptr);  // returns at once
  auto events = test::EventsWithId(VELMON_NO_DATABASE_KEY);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].strings.empty());
  EXPECT_THAT(ClusterAddresses(), ElementsAre());
  EXPECT_THAT(Nodes(), ElementsAre());
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
  EXPECT_EQ(WatchTablesReady.load(), 0);
  EXPECT_TRUE(test::EventsWithId(VELMON_THREAD_FAILED).empty());
}

TEST_F(MainTrapThreadTest, DatabaseFoundOnlyOnTheSecondAttemptIsNotFollowed) {
  velplat::registry::CreateKey(kDatabase);
  velplat::faults::FailCall("RegOpenKeyExA", ERROR_FILE_NOT_FOUND);
  MainTrapThread(nullptr);
  EXPECT_TRUE(test::EventsWithId(VELMON_NO_DATABASE_KEY).empty());
  EXPECT_THAT(ClusterAddresses(), ElementsAre());
  EXPECT_EQ(WatchTablesReady.load(), 0);
  EXPECT_EQ(velplat::registry::PendingNotifications(kDatabase), 0u);
  EXPECT_EQ(ClusterVendor.load(), kVendorBrennic);  // the database exists
}

TEST_F(MainTrapThreadTest, EmptyMemberTableGivesOneClusterAddressEntryAndWaits) {
  velplat::registry::CreateKey(kDatabase);
  Start();
  WaitForChangeLoop();
  EXPECT_THAT(ClusterAddresses(), ElementsAre("1:Cluster IP Address:0"));
  EXPECT_THAT(Nodes(), ElementsAre());
  EXPECT_THAT(Addresses(), ElementsAre());
  EXPECT_EQ(WatchTablesReady.load(), 0);
  EndByDeletingTheDatabase();
  EXPECT_EQ(WatchTablesReady.load(), 1);
  EXPECT_THAT(ClusterAddresses(), ElementsAre("1:Cluster IP Address:0"));  // entries stay
}

TEST_F(MainTrapThreadTest, FirstFillMakesOnePassPerMemberAndOneMore) {
  velplat::registry::CreateKey(kDatabase);
  AddNodeKey("n0", "first");  // descriptions come by position
  AddNodeKey("n1", "second");
  AddMember(0, "m1", kAddressA);
  AddMember(1, "m2", kAddressB);
  ClusterIpAddress = 0x010000C6;
  Start();
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:m1:first:1", "2:m2:second:1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:m1:" + std::to_string(kAddressA), "2:m2:" + std::to_string(kAddressB)));
  std::string cluster = "1:Cluster IP Address:" + std::to_string(0x010000C6);
  EXPECT_THAT(ClusterAddresses(), ElementsAre(cluster, cluster, cluster));
  EXPECT_EQ(NextClusterAddressIndex.load(), 1);
  EXPECT_EQ(NextNodeIndex.load(), 3);
  EXPECT_EQ(PendingNodeAddress.load(), kAddressB);
  EXPECT_EQ(ClusterVendor.load(), kVendorBrennic);

  // The first change brings the table in line with the Nodes key: the member
  // entries go, the nodes come with the next numbers.
  velplat::registry::SetString(kDatabase, "Touched", "1");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("3:n0:first:1", "4:n1:second:1"));
  EXPECT_THAT(Addresses(), ElementsAre("3:n0:0", "4:n1:0"));
  EXPECT_THAT(ClusterAddresses(), ElementsAre(cluster, cluster, cluster));
  EndByDeletingTheDatabase();
  EXPECT_EQ(NextNodeIndex.load(), 1);
  EXPECT_EQ(NextAddressIndex.load(), 1);
}

TEST_F(MainTrapThreadTest, FailedEntriesOfTheFirstFillAreReported) {
  AddMember(0, "m1", kAddressA);
  AddMember(1, "m2", kAddressB);
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart);  // m1's node entry
  FillWatchTablesFromMemberTable();
  EXPECT_THAT(Nodes(), ElementsAre("1:m2::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:m1:" + std::to_string(kAddressA), "2:m2:" + std::to_string(kAddressB)));
  EXPECT_EQ(ClusterAddresses().size(), 3u);
  EXPECT_THAT(NotCreatedReports(), ElementsAre("m1"));
}

TEST_F(MainTrapThreadTest, FailedAddressEntryOfTheFirstFillIsReportedAndTheFillGoesOn) {
  AddMember(0, "m1", kAddressA);
  AddMember(1, "m2", kAddressB);
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 1);  // m1's address entry
  FillWatchTablesFromMemberTable();
  EXPECT_THAT(Nodes(), ElementsAre("1:m1::1", "2:m2::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:m2:" + std::to_string(kAddressB)));
  EXPECT_EQ(ClusterAddresses().size(), 3u);
  EXPECT_THAT(NotCreatedReports(), ElementsAre("m1"));
}

TEST_F(MainTrapThreadTest, FailedClusterAddressEntryEndsTheFirstFill) {
  AddMember(0, "m1", kAddressA);
  AddMember(1, "m2", kAddressB);
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 2);  // after m1's two entries
  FillWatchTablesFromMemberTable();
  EXPECT_THAT(Nodes(), ElementsAre("1:m1::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:m1:" + std::to_string(kAddressA)));
  EXPECT_THAT(ClusterAddresses(), ElementsAre());
  EXPECT_THAT(NotCreatedReports(), ElementsAre("Cluster IP Address"));
}

TEST_F(MainTrapThreadTest, FollowsNodesSubkeysAddedAndDeleted) {
  velplat::registry::CreateKey(kNodes);
  velplat::registry::CreateKey(std::string(kDatabase) + "\\Resources");
  velplat::network::SetHostEntry("nodeA", {"192.0.2.10"});
  Start();
  WaitForChangeLoop();
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s));  // the cluster address watcher

  velplat::registry::CreateKey(std::string(kNodes) + "\\nodeA");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeA::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:nodeA:" + std::to_string(kAddressA)));

  // A change that does not touch the nodes adds nothing.
  velplat::registry::SetString(std::string(kDatabase) + "\\Resources", "Disk", "E:");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeA::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:nodeA:" + std::to_string(kAddressA)));
  EXPECT_EQ(NextNodeIndex.load(), 2);

  // Deleting the subkey removes both entries; their watchers end within one
  // polling period, the cluster address watcher goes on.
  ASSERT_TRUE(velplat::clock::WaitForBlocked(3, 10s));
  velplat::registry::DeleteKeyTree(std::string(kNodes) + "\\nodeA");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre());
  EXPECT_THAT(Addresses(), ElementsAre());
  EXPECT_EQ(velplat::clock::WaiterCount(), 3u);
  velplat::clock::Advance(20s);
  for (int i = 0; i < 1000 && velplat::clock::WaiterCount() != 1; ++i) std::this_thread::sleep_for(2ms);
  EXPECT_EQ(velplat::clock::WaiterCount(), 1u);

  // Added again, the node gets a new, higher number.
  velplat::registry::CreateKey(std::string(kNodes) + "\\nodeA");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("2:nodeA::1"));
  EXPECT_TRUE(NotCreatedReports().empty());
}

TEST_F(MainTrapThreadTest, ChangeOutsideNodesWakesTheLoopAndRefreshesNodesBeforeAddresses) {
  AddNodeKey("nodeB");
  AddNodeKey("nodeC");
  const std::string resources = std::string(kDatabase) + "\\Resources";
  velplat::registry::CreateKey(resources);
  Start();
  WaitForChangeLoop();
  ASSERT_EQ(AddNodeEntryWithState("Cluster Members", "mscs1", 7, 1), 1);  // no key of its own
  // Watchers start nodeB, nodeC node entries, then their address entries:
  // the second start fails only when the node pass comes first.
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 1);
  velplat::registry::SetString(resources, "Disk", "E:");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeB::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:nodeB:0", "2:nodeC:0"));
  EXPECT_THAT(NotCreatedReports(), ElementsAre("nodeC"));
}

TEST_F(MainTrapThreadTest, NameThatDiffersOnlyInCaseIsANewNode) {
  AddNodeKey("NODEA");
  AddMember(0, "nodeA", kAddressA);
  Start();
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeA::1"));
  velplat::registry::SetString(kDatabase, "Touched", "1");
  WaitForChangeLoop();
  // The member's entries stay: the registry finds their key whatever the case.
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeA::1", "2:NODEA::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:nodeA:" + std::to_string(kAddressA), "2:NODEA:0"));
}

TEST_F(MainTrapThreadTest, PruningRemovesEntriesAnotherBackEndAdded) {
  AddNodeKey("kept");
  ASSERT_EQ(AddNodeEntryWithState("Cluster Members", "mscs1", 1, 1), 1);
  ASSERT_EQ(AddAddressEntryWithAddress("mscs1", 1, kAddressA), 1);
  ASSERT_EQ(AddAddressEntryWithAddress("Kept", 2, kAddressB), 1);  // its key, in another case
  ASSERT_EQ(AddClusterAddressEntryWithAddress("Cluster IP Address", 1, kAddressB), 1);
  Start();
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:mscs1:Cluster Members:1"));  // the first fill prunes nothing
  velplat::registry::SetString(kDatabase, "Touched", "1");
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre("1:kept::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:kept:0", "2:Kept:" + std::to_string(kAddressB)));
  // Without the Nodes key no entry passes the test.
  velplat::registry::DeleteKeyTree(kNodes);
  WaitForChangeLoop();
  EXPECT_THAT(Nodes(), ElementsAre());
  EXPECT_THAT(Addresses(), ElementsAre());
  EXPECT_EQ(ClusterAddresses().size(), 2u);  // never pruned
}

TEST_F(MainTrapThreadTest, FailedNotificationEndsTheThreadWithItsClosingSteps) {
  velplat::registry::CreateKey(kNodes);
  AddMember(0, "m1", kAddressA);
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);
  MainTrapThread(nullptr);  // returns after the first fill
  EXPECT_THAT(Nodes(), ElementsAre("1:m1::1"));
  EXPECT_EQ(WatchTablesReady.load(), 1);
  EXPECT_EQ(NextNodeIndex.load(), 1);
  EXPECT_EQ(NextAddressIndex.load(), 1);
  EXPECT_TRUE(test::EventsWithId(VELMON_THREAD_FAILED).empty());
}

TEST_F(MainTrapThreadTest, BrennicIsSelectedOnlyWhereNothingElseIs) {
  EXPECT_TRUE(SelectBrennicClusters());
  EXPECT_EQ(ClusterVendor.load(), kVendorBrennic);
  EXPECT_FALSE(SelectBrennicClusters());  // already selected
  for (LONG other : {kVendorMscs, kVendorOracle}) {
    ClusterVendor = other;
    EXPECT_FALSE(SelectBrennicClusters());
    EXPECT_EQ(ClusterVendor.load(), other);
  }
  // With the Oracle cluster manager's key present discovery decides.
  ClusterVendor = kVendorNone;
  velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM");
  EXPECT_FALSE(SelectBrennicClusters());
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
}

TEST_F(MainTrapThreadTest, ThreadKeepsASelectionDiscoveryMade) {
  velplat::registry::CreateKey(kDatabase);
  ClusterVendor = kVendorMscs;
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);
  MainTrapThread(nullptr);
  EXPECT_EQ(ClusterVendor.load(), kVendorMscs);
  EXPECT_EQ(ClusterAddresses().size(), 1u);  // the database is followed all the same
}

}  // namespace
}  // namespace velmon
