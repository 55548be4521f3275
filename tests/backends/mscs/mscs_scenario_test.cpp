// MSCS end to end: the agent starts on a member of a three-node cluster
// (the Oracle wait fails, so discovery tries MSCS), fills the watch tables,
// answers the MIB and follows nodes joining and leaving; and discovery's
// fill loops when a node name or a node entry cannot be had.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/snmp_request.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/detection.h"
#include "backends/mscs/mscs_discovery.h"
#include "backends/mscs/support/mscs_world.h"
#include "backends/oracle/detection.h"
#include "backends/oracle/oracle_interface.h"
#include "discovery/find_cluster_vendor.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <winsock.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;
using testing::ElementsAre;
namespace cluster = velplat::cluster;

std::string Bytes(const char* dotted) {
  const DWORD address = inet_addr(dotted);
  return std::string(reinterpret_cast<const char*>(&address), 4);
}

class MscsScenario : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;
};

TEST_F(MscsScenario, ThreeNodeClusterAnswersTheWholeMibAndFollowsItsNodes) {
  test::InstallCluster(test::ThreeNodeCluster());
  test::RegisterAgentEventSource();
  // No Oracle key to wait for: the first notification request fails, and
  // discovery goes on to MSCS.
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));

  EXPECT_EQ(kVendorMscs, ClusterVendor.load());
  EXPECT_EQ(4, NextNodeIndex.load());
  EXPECT_EQ(4, NextAddressIndex.load());
  EXPECT_EQ(2, NextClusterAddressIndex.load());
  EXPECT_EQ("Microsoft Cluster Server", Get("1.2.1.0").bytes);
  EXPECT_EQ("1.0 Build Number 224", Get("1.2.2.0").bytes);
  EXPECT_EQ(6, Get("1.2.3.0").number);
  EXPECT_EQ(23201, Get("1.2.4.0").number);
  EXPECT_EQ("1.3.6.1.4.1.32473.2.18.22.4.2", Get("1.2.5.0").oid);
  EXPECT_EQ(1, Get("1.2.6.0").number);
  EXPECT_EQ("ALPHA", Get("1.2.7.0").bytes);
  EXPECT_EQ(Bytes("10.0.0.100"), Get("1.2.8.1.2.1").bytes);
  EXPECT_EQ("MSCS", Get("1.2.9.0").bytes);
  EXPECT_EQ("NODE3", Get("1.2.11.1.2.3").bytes);
  EXPECT_EQ("Cluster Members", Get("1.2.11.1.3.1").bytes);
  EXPECT_EQ(1, Get("1.2.11.1.4.2").number);
  EXPECT_EQ(Bytes("10.0.0.2"), Get("1.2.12.1.2.2.1").bytes);
  EXPECT_THAT(test::Walk("1.2.9.0", 40),
              ElementsAre("1.2.11.1.1.1", "1.2.11.1.1.2", "1.2.11.1.1.3", "1.2.11.1.2.1", "1.2.11.1.2.2",
                          "1.2.11.1.2.3", "1.2.11.1.3.1", "1.2.11.1.3.2", "1.2.11.1.3.3", "1.2.11.1.4.1",
                          "1.2.11.1.4.2", "1.2.11.1.4.3", "1.2.12.1.1.1.1", "1.2.12.1.1.2.1", "1.2.12.1.1.3.1",
                          "1.2.12.1.2.1.1", "1.2.12.1.2.2.1", "1.2.12.1.2.3.1"));

  cluster::AddNode(test::kClusterName, {"NODE4"});
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  cluster::RemoveNode(test::kClusterName, "NODE2");
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  EXPECT_THAT(test::Walk("1.2.11.1.2.0", 4),
              ElementsAre("1.2.11.1.2.1", "1.2.11.1.2.3", "1.2.11.1.2.4", "1.2.11.1.3.1"));
  EXPECT_EQ("NODE4", Get("1.2.11.1.2.4").bytes);
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.12.1.2.2.1").status);
  EXPECT_EQ(std::string(4, '\0'), Get("1.2.12.1.2.4.1").bytes);  // joined later: the end record's address
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());
}

// Discovery's MSCS path with one operation replaced, run on this thread up
// to the watch, which ends at once because the port is invalidated as soon
// as it exists.
void RunDiscovery(const mscs::DiscoveryOperations& operations) {
  std::thread invalidator([] {
    while (cluster::OpenPortCount(test::kClusterName) == 0) std::this_thread::sleep_for(1ms);
    cluster::InvalidatePorts(test::kClusterName);
  });
  RunMscsDiscovery(operations);
  invalidator.join();
}

// Row 1 answers genErr, with a name in the buffer all the same: an answer
// with an error status counts as no name, whatever it wrote.
Status NoNameForRowOne(AttrString* value, UINT* scratch, const RowIndex* row) {
  if (row->arcs[0] == 1) {
    std::memcpy(value->buffer, "GHOST", 6);
    value->length = 5;
    return kGenErr;
  }
  return mscs::MscsDiscoveryOperations().getNodeName(value, scratch, row);
}

TEST_F(MscsScenario, NodeNameMissingForRowOneEndsBothLoopsAfterRowZero) {
  test::InstallCluster(test::ThreeNodeCluster());
  ASSERT_EQ(1, mscs::BindClusterApi());
  mscs::DiscoveryOperations operations = mscs::MscsDiscoveryOperations();
  operations.getNodeName = &NoNameForRowOne;
  RunDiscovery(operations);
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1"));
  EXPECT_THAT(test::AddressRows(), ElementsAre("1:NODE1:10.0.0.1"));
}

TEST_F(MscsScenario, NodeEntryFailingForTheSecondNodeIsReportedOnceAndAddressesStayComplete) {
  test::InstallCluster(test::ThreeNodeCluster());
  test::RegisterAgentEventSource();
  ASSERT_EQ(1, mscs::BindClusterApi());
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 1);  // the second node's watcher
  RunDiscovery(mscs::MscsDiscoveryOperations());
  EXPECT_THAT(test::NodeRows(), ElementsAre("1:NODE1"));
  EXPECT_THAT(test::AddressRows(), ElementsAre("1:NODE1:10.0.0.1", "2:NODE2:10.0.0.2", "3:NODE3:10.0.0.3"));
  auto events = test::EventsWithId(VELMON_ENTRY_NOT_CREATED);
  ASSERT_EQ(1u, events.size());
  EXPECT_THAT(events[0].strings, ElementsAre("NODE2"));
}

std::atomic<int> mscsDetections{0};

TEST_F(MscsScenario, OracleClusterManagerKeyWinsWithoutAskingMscs) {
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::registry::SetMultiString(oracle::kClusterManagerKey, "PublicNodeNames", {"NODE1"});
  mscs::DiscoveryOperations operations = mscs::MscsDiscoveryOperations();
  operations.detect = [] {
    ++mscsDetections;
    return mscs::DetectMscsCluster();
  };
  DiscoverClusterVendor(&oracle::DetectOracleCluster, operations);
  EXPECT_EQ(0, mscsDetections.load());
  EXPECT_EQ(kVendorOracle, ClusterVendor.load());
}

TEST_F(MscsScenario, DetectionThatFindsNoClusterEndsDiscoveryWithNothingFilled) {
  test::InstallCluster(test::ThreeNodeCluster());
  ASSERT_EQ(1, mscs::BindClusterApi());
  static LONG detected;
  for (LONG outcome : {0, 5}) {  // no cluster service; a cluster that does not answer
    detected = outcome;
    mscs::DiscoveryOperations operations = mscs::MscsDiscoveryOperations();
    operations.detect = [] { return detected; };
    operations.watchChanges = [] { return LONG{ERROR_INVALID_HANDLE}; };
    DiscoverClusterVendor([] { return LONG{0}; }, operations);
    EXPECT_EQ(kVendorNone, ClusterVendor.load()) << outcome;
    EXPECT_TRUE(test::NodeRows().empty()) << outcome;
    EXPECT_TRUE(test::AddressRows().empty()) << outcome;
  }
}

}  // namespace
}  // namespace velmon
