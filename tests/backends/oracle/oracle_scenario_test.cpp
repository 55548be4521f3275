// The Oracle RAC back-end end to end: start the agent in a world, let
// discovery find (or wait for) the cluster manager, and read the MIB.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/snmp_request.h"
#include "backends/oracle/node_lists.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>

#include <chrono>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Eventually;
using test::Get;
using test::GetNext;
using testing::ElementsAre;

const std::vector<test::OracleMember> kTwoMembers = {
    {"node1", "priv1", "192.0.2.1", SERVICE_RUNNING},
    {"node2", "priv2", "192.0.2.2", SERVICE_STOPPED},
};

class OracleScenario : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;

  static void StartAgent() {
    HANDLE event = nullptr;
    AsnObjectIdentifier view{0, nullptr};
    ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  }
  static bool Configured() { return ClusterVendor.load() == kVendorOracle && WatchTablesReady.load() == 1; }
  static std::vector<std::string> Names(bool nodes) {
    auto lock = LockWatchTables();
    std::vector<std::string> names;
    if (nodes)
      for (NodeEntry* e = NodeTable; e; e = e->next) names.push_back(std::to_string(e->index) + ":" + e->name);
    else
      for (AddressEntry* e = AddressTable; e; e = e->next) names.push_back(std::to_string(e->index) + ":" + e->name);
    return names;
  }
  static std::vector<std::pair<DWORD, std::string>> BareReports() {
    std::vector<std::pair<DWORD, std::string>> reports;
    for (auto& e : velplat::eventlog::Entries())
      if ((e.eventId & 0xFFFF0000u) == 0) reports.emplace_back(e.eventId, e.strings.empty() ? "" : e.strings[0]);
    return reports;
  }
  // The registry watcher is waiting on the cluster-manager key again.
  static void WaitForRegistryWatcher() {
    ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 10s));
  }
};

TEST_F(OracleScenario, KeyPresentAtStartAnswersTheWholeMib) {
  test::MakeOracleMembers(kTwoMembers);
  test::WriteClusterManagerKey(kTwoMembers);
  test::WriteHostsFile("10.0.0.1 priv1\n10.0.0.2 priv2\n");
  test::InstallClusterManagerExecutable(REG_SZ, "C:\\oracle\\bin\\oracm.exe", "9.2.0.1.0");
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));

  EXPECT_EQ(Get("1.2.1.0").bytes, "Oracle RAC Cluster");
  EXPECT_EQ(Get("1.2.2.0").bytes, "9.2.0.1.0");
  EXPECT_EQ(Get("1.2.3.0").number, 6);
  EXPECT_EQ(Get("1.2.4.0").number, 23299);
  EXPECT_EQ(Get("1.2.5.0").oid, "0.0");
  EXPECT_EQ(Get("1.2.6.0").number, 1);
  EXPECT_EQ(Get("1.2.7.0").bytes, "node1");
  EXPECT_EQ(Get("1.2.9.0").bytes, "Oracle RAC Cluster ");
  EXPECT_EQ(Get("1.2.8.1.2.1").bytes, std::string("\xc0\x00\x02\x01", 4));
  EXPECT_EQ(Get("1.2.11.1.2.2").bytes, "node2");
  EXPECT_EQ(Get("1.2.11.1.4.1").number, 4);
  EXPECT_EQ(Get("1.2.11.1.4.2").number, 8);
  EXPECT_EQ(Get("1.2.12.1.2.2.1").bytes, std::string("\xc0\x00\x02\x02", 4));
  EXPECT_THAT(test::Walk("1.2.7.0", 40),
              ElementsAre("1.2.8.1.1.1", "1.2.8.1.2.1", "1.2.9.0", "1.2.11.1.1.1", "1.2.11.1.1.2", "1.2.11.1.2.1",
                          "1.2.11.1.2.2", "1.2.11.1.3.1", "1.2.11.1.3.2", "1.2.11.1.4.1", "1.2.11.1.4.2",
                          "1.2.12.1.1.1.1", "1.2.12.1.1.2.1", "1.2.12.1.2.1.1", "1.2.12.1.2.2.1"));
  auto lock = LockMemberTable();
  EXPECT_EQ(MemberTable[0].memberNumber, 1);
  EXPECT_EQ(MemberTable[1].memberNumber, 2);
  EXPECT_STREQ(MemberTable[1].name, "priv2");
  EXPECT_EQ(MemberTable[1].address, 0x0200000Au);  // 10.0.0.2 from the HOSTS file
}

TEST_F(OracleScenario, KeyWithoutNodeListConfiguresAnEmptyCluster) {
  test::MakeOracleMembers(kTwoMembers);
  velplat::registry::CreateKey(test::kClusterManagerKeyPath);
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));
  EXPECT_TRUE(Names(true).empty());
  EXPECT_EQ(Get("1.2.8.1.2.1").bytes, std::string(4, '\0'));
  EXPECT_EQ(Get("1.2.7.0").bytes, "");
  EXPECT_EQ(Get("1.2.2.0").bytes, "");  // no service key, no version
  EXPECT_EQ(GetNext("1.2.9.0").name, test::kEndOfView);
}

TEST_F(OracleScenario, WithoutOracleSoftwareDetectionWaitsStepByStep) {
  test::MakeOracleMembers(kTwoMembers);
  StartAgent();
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE", 1, 10s));
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
  velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle");
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE\\Oracle", 1, 10s));
  velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle\\osd9i");  // not yet the key: watched again
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE\\Oracle", 1, 10s));
  velplat::registry::CreateKey(test::kClusterManagerKeyPath);
  // The node list is polled at most 90 seconds apart.
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s));
  EXPECT_EQ(velplat::clock::NextDeadline(), velplat::clock::NowMs() + 90000);
  velplat::clock::Advance(90s);
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s));
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
  // Other values wake the poll too. Once they are written, a registration
  // pending on the key was made after all of them, so the node list written
  // last is seen at once (a write between a read and the next registration
  // would wait for the next 90-second poll).
  test::SetPrivateNames({"priv1", "priv2"});
  velplat::registry::SetString(test::kClusterManagerKeyPath, "HostName", "node1");
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 10s));
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
  test::SetPublicNames({"node1", "node2"});
  ASSERT_TRUE(Eventually(Configured));
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2"));
}

TEST_F(OracleScenario, WithTheOracleKeyPresentTheWaitWakesOnlyForItsDirectSubkeys) {
  test::MakeOracleMembers(kTwoMembers);
  velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle\\osd9i");
  StartAgent();
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE\\Oracle", 1, 10s));
  test::WriteClusterManagerKey(kTwoMembers);  // two levels down: the registration stays
  EXPECT_EQ(1u, velplat::registry::PendingNotifications("HKLM\\SOFTWARE\\Oracle"));
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
  velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle\\Other");
  ASSERT_TRUE(Eventually(Configured));
}

TEST_F(OracleScenario, TwoMembersFillTheWatchTablesAndRenamesAppend) {
  test::MakeOracleMembers(kTwoMembers);
  test::MakeOracleMembers({{"node1", "priv1", "192.0.2.1"}, {"node2", "priv2", "192.0.2.2"},
                           {"node3", "priv3", "192.0.2.3"}, {"node4", "priv4", "192.0.2.4"},
                           {"node5", "priv5", "192.0.2.5"}});
  test::WriteClusterManagerKey(kTwoMembers);
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2"));
  EXPECT_THAT(Names(false), ElementsAre("1:node1", "2:node2"));
  EXPECT_EQ(NextNodeIndex.load(), 1);
  EXPECT_EQ(oracle::SavedNextNodeIndex.load(), 3);

  WaitForRegistryWatcher();
  test::SetPublicNames({"node1", "node3"});
  ASSERT_TRUE(Eventually([] { return AddressEntryExists("node3"); }));
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2", "3:node3"));
  EXPECT_THAT(Names(false), ElementsAre("1:node1", "2:node2", "3:node3"));
  EXPECT_EQ(Get("1.2.11.1.2.3").bytes, "node3");

  // A re-fill of several members numbers them after every entry there.
  WaitForRegistryWatcher();
  test::SetPublicNames({"node4", "node5"});
  ASSERT_TRUE(Eventually([] { return AddressEntryExists("node5"); }));
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2", "3:node3", "4:node4", "5:node5"));
  WaitForRegistryWatcher();
  test::SetPublicNames({"node4", "node1"});
  ASSERT_TRUE(Eventually([] { return Names(false).size() == 6; }));
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2", "3:node3", "4:node4", "5:node5", "6:node1"));
}

TEST_F(OracleScenario, NameThatShortensIsAChange) {
  std::vector<test::OracleMember> members = {{"node12", "priv12", "192.0.2.12"}};
  test::MakeOracleMembers(members);
  test::MakeOracleMembers({{"node12", "priv12", "192.0.2.12"}, {"node1", "priv1", "192.0.2.1"}});
  test::WriteClusterManagerKey(members);
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));
  WaitForRegistryWatcher();
  test::SetPublicNames({"node1"});
  ASSERT_TRUE(Eventually([] { return NodeEntryExists("node1"); }));
  auto lock = LockMemberTable();
  EXPECT_STREQ(MemberTable[0].publicName, "node1");
}

TEST_F(OracleScenario, PrivateNamesAloneChangeNothing) {
  test::MakeOracleMembers(kTwoMembers);
  test::WriteClusterManagerKey(kTwoMembers);
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));
  WaitForRegistryWatcher();
  test::SetPrivateNames({"other1", "other2"});
  WaitForRegistryWatcher();  // the pass is over and the watcher waits again
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2"));
  auto lock = LockMemberTable();
  EXPECT_STREQ(MemberTable[0].name, "priv1");
}

TEST_F(OracleScenario, DeletedNodeListEmptiesRecordZeroAndKeepsTheTables) {
  test::MakeOracleMembers(kTwoMembers);
  test::WriteClusterManagerKey(kTwoMembers);
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));
  WaitForRegistryWatcher();
  velplat::registry::DeleteValue(test::kClusterManagerKeyPath, "PublicNodeNames");
  ASSERT_TRUE(Eventually([] {
    auto lock = LockMemberTable();
    return MemberTable[0].memberNumber == 0;
  }));
  auto lock = LockMemberTable();
  EXPECT_STREQ(MemberTable[0].publicName, "");
  EXPECT_STREQ(MemberTable[0].name, "");
  EXPECT_THAT(Names(true), ElementsAre("1:node1", "2:node2"));
}

TEST_F(OracleScenario, LocalNodeIndexAndVersionFollowTheRegistry) {
  test::MakeOracleMembers(kTwoMembers);
  test::WriteClusterManagerKey(kTwoMembers);
  test::InstallClusterManagerExecutable(REG_EXPAND_SZ, "%SystemRoot%\\oracm.exe", "9.2.0.1.0-very-long-version");
  StartAgent();
  ASSERT_TRUE(Eventually(Configured));
  EXPECT_EQ(Get("1.2.2.0").bytes, "9.2.0.1.0-very-long");  // 19 characters
  velplat::registry::SetString(test::kClusterManagerKeyPath, "HostName", "node2");
  EXPECT_EQ(Get("1.2.6.0").number, 2);
  velplat::registry::SetString(test::kClusterManagerKeyPath, "HostName", "NODE2");
  EXPECT_EQ(Get("1.2.6.0").number, 0);
  test::InstallClusterManagerExecutable(REG_SZ, "C:\\oracle\\plain.exe", "");
  auto unversioned = Get("1.2.2.0");  // no version resource: empty, no error
  EXPECT_EQ(unversioned.bytes, "");
  EXPECT_EQ(unversioned.status, SNMP_ERRORSTATUS_NOERROR);
  test::InstallClusterManagerExecutable(REG_DWORD, "xxxx", "");
  EXPECT_EQ(Get("1.2.2.0").status, SNMP_ERRORSTATUS_GENERR);
  velplat::registry::DeleteKeyTree(test::kClusterManagerKeyPath);
  EXPECT_EQ(Get("1.2.3.0").number, 3);
  EXPECT_EQ(Get("1.2.6.0").status, SNMP_ERRORSTATUS_GENERR);
}

TEST_F(OracleScenario, FailedReopenOfTheOracleKeyEndsDetectionWithoutTouchingTheClosedHandle) {
  test::MakeOracleMembers(kTwoMembers);
  StartAgent();
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE", 1, 10s));
  ASSERT_TRUE(velplat::clock::WaitForWaiters(1, 10s));
  const size_t staleBefore = velplat::registry::StaleHandleUses();
  // Woken, loop A looks for the cluster-manager key (missing) and opens the
  // Oracle key; loop B closes it and cannot open it again.
  velplat::faults::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 1, 2);
  velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle");
  ASSERT_TRUE(Eventually([] { return !BareReports().empty(); }));
  EXPECT_THAT(BareReports(), ElementsAre(std::make_pair(DWORD{110}, std::string("error Reg notify CMKey"))));
  EXPECT_EQ(staleBefore, velplat::registry::StaleHandleUses());
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
}

struct DetectionFailure {
  const char* name;
  DWORD id;
  const char* text;
};

void PrintTo(const DetectionFailure& failure, std::ostream* os) { *os << failure.name; }

class OracleDetectionFailure : public OracleScenario, public testing::WithParamInterface<DetectionFailure> {};

TEST_P(OracleDetectionFailure, IsReportedAndEndsDetection) {
  const DetectionFailure& failure = GetParam();
  test::MakeOracleMembers(kTwoMembers);
  std::string name = failure.name;
  if (name == "event") velplat::faults::FailNext(velplat::faults::Point::EventCreate, 1, 1);  // after the trap event
  if (name == "notify") velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);
  StartAgent();
  // Discovery has registered on SOFTWARE and is inside its wait (a wait that
  // is armed to fail must be the next one it makes).
  auto waitingOnSoftware = [] {
    return velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE", 1, 10s) &&
           velplat::clock::WaitForWaiters(1, 10s);
  };
  if (name != "event" && name != "notify") {
    ASSERT_TRUE(waitingOnSoftware());
    if (name == "wait" || name == "waitCm") velplat::faults::FailCall("WaitForSingleObjectEx", ERROR_INVALID_HANDLE);
    if (name == "close") velplat::faults::FailCall("RegCloseKey", ERROR_INVALID_HANDLE);
    if (name == "notifyCm") velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);
    if (name == "wait" || name == "close") {
      // Loop A wakes without finding the Oracle key and waits (or closes) again.
      velplat::registry::CreateKey("HKLM\\SOFTWARE\\Other");
    } else {
      velplat::registry::CreateKey("HKLM\\SOFTWARE\\Oracle");
    }
  }
  ASSERT_TRUE(Eventually([] { return !BareReports().empty(); }));
  EXPECT_THAT(BareReports(), ElementsAre(std::make_pair(failure.id, std::string(failure.text))));
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
  velplat::faults::Clear();
  test::WriteClusterManagerKey(kTwoMembers);  // detection has ended: nothing follows
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(ClusterVendor.load(), kVendorNone);
}

INSTANTIATE_TEST_SUITE_P(EveryReport, OracleDetectionFailure,
                         testing::Values(DetectionFailure{"event", 6, "Unable to Create Event"},
                                         DetectionFailure{"notify", 110, "error in Reg notify"},
                                         DetectionFailure{"wait", 110, "wait Failed "},
                                         DetectionFailure{"close", 110, "close key failed"},
                                         DetectionFailure{"notifyCm", 110, "error Reg notify CMKey"},
                                         DetectionFailure{"waitCm", 110, "error wait CMKey"}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace velmon
