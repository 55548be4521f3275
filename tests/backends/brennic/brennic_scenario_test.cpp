// Brennic Clusters end to end: start the agent on a host with the failover
// database and read the MIB while nodes come and go.
#include "agent/cluster_attributes.h"
#include "agent/support/snmp_request.h"
#include "backends/brennic/support/brennic_world.h"
#include "discovery/watch_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;
using testing::ElementsAre;

bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

class BrennicScenario : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;

  // Host nodeb of a cluster alpha whose database lists nodea and nodeb.
  void SetUp() override {
    velplat::World::Get().SetLocal("nodeb");
    velplat::registry::CreateKey(std::string(test::kProductPath) + "\\CurrentVersion");
    velplat::registry::SetString(test::kParametersPath, "ClusterName", "alpha");
    test::DefineManagerService(SERVICE_RUNNING);
    test::AddNode({"nodea", "primary", "192.0.2.1"});
    test::AddNode({"nodeb", std::nullopt, "192.0.2.2"});
  }
  static void StartAgent() {
    HANDLE event = nullptr;
    AsnObjectIdentifier view{0, nullptr};
    ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  }
  // The main trap thread waits for the next change of the database.
  static void WaitForChangeLoop() {
    ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kDatabasePath, 1, 10s));
  }
};

TEST_F(BrennicScenario, MibFollowsNodesAddedToAndDeletedFromTheDatabase) {
  StartAgent();
  WaitForChangeLoop();
  ASSERT_TRUE(Eventually([] { return ClusterVendor.load() == kVendorBrennic; }));
  EXPECT_EQ(Get("1.2.1.0").bytes, "Brennicorp");
  EXPECT_EQ(Get("1.2.6.0").number, 1);
  EXPECT_EQ(Get("1.2.7.0").bytes, std::string("alpha\0", 6));
  // Until the first change only the cluster address is known.
  EXPECT_THAT(test::Walk("1.2.7.0", 20), ElementsAre("1.2.8.1.1.1", "1.2.8.1.2.1", "1.2.9.0"));

  test::AddNode({"nodec", std::nullopt, "192.0.2.3"});
  WaitForChangeLoop();
  EXPECT_THAT(test::Walk("1.2.9.0", 40),
              ElementsAre("1.2.11.1.1.1", "1.2.11.1.1.2", "1.2.11.1.1.3", "1.2.11.1.2.1", "1.2.11.1.2.2",
                          "1.2.11.1.2.3", "1.2.11.1.3.1", "1.2.11.1.3.2", "1.2.11.1.3.3", "1.2.11.1.4.1",
                          "1.2.11.1.4.2", "1.2.11.1.4.3", "1.2.12.1.1.1.1", "1.2.12.1.1.2.1", "1.2.12.1.1.3.1",
                          "1.2.12.1.2.1.1", "1.2.12.1.2.2.1", "1.2.12.1.2.3.1"));
  EXPECT_EQ(Get("1.2.11.1.2.3").bytes, "nodec");
  EXPECT_EQ(Get("1.2.11.1.3.1").bytes, "primary");
  EXPECT_EQ(Get("1.2.11.1.4.2").number, 1);
  EXPECT_EQ(Get("1.2.12.1.2.3.1").bytes, std::string("\xc0\x00\x02\x03", 4));

  test::DeleteNode("nodeb");
  WaitForChangeLoop();
  // The node table's walk passes over the gap; the address table's ends at
  // it, though row 3 is still there.
  EXPECT_THAT(test::Walk("1.2.11.1.1", 40),
              ElementsAre("1.2.11.1.1.1", "1.2.11.1.1.3", "1.2.11.1.2.1", "1.2.11.1.2.3", "1.2.11.1.3.1",
                          "1.2.11.1.3.3", "1.2.11.1.4.1", "1.2.11.1.4.3", "1.2.12.1.1.1.1", "1.2.12.1.2.1.1"));
  EXPECT_EQ(Get("1.2.11.1.2.2").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.12.1.2.2.1").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.12.1.2.3.1").bytes, std::string("\xc0\x00\x02\x03", 4));
  EXPECT_EQ(Get("1.2.6.0").number, 0);  // the computer is no longer listed
}

TEST_F(BrennicScenario, OracleRacTakesOverWhenItsClusterManagerAppears) {
  StartAgent();
  ASSERT_TRUE(Eventually([] { return ClusterVendor.load() == kVendorBrennic; }));
  // Discovery is still waiting for the Oracle key; once it is there, Oracle
  // RAC answers the cluster attributes.
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications("HKLM\\SOFTWARE", 1, 10s));
  velplat::registry::SetMultiString("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "PublicNodeNames", {"nodeb"});
  ASSERT_TRUE(Eventually([] { return ClusterVendor.load() == kVendorOracle && WatchTablesReady.load() == 1; }));
  EXPECT_EQ(Get("1.2.1.0").bytes, "Oracle RAC Cluster");
  EXPECT_EQ(Get("1.2.4.0").number, 23299);
}

}  // namespace
}  // namespace velmon
