// Clusters of 256 and 300 members through the Oracle RAC back-end: the
// member table holds 256 members, the watch tables and the MIB show those;
// an entry that cannot be created is reported with the member's public name.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "agent/support/snmp_request.h"
#include "backends/oracle/node_lists.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>

#include <cstdio>

namespace velmon {
namespace {

using test::Get;
using testing::ElementsAre;

std::string Name(const char* prefix, int i) {
  char name[16];
  std::snprintf(name, sizeof name, "%s%03d", prefix, i);
  return name;
}

std::vector<test::OracleMember> Members(int count) {
  std::vector<test::OracleMember> members;
  for (int i = 1; i <= count; ++i)
    members.push_back({Name("r", i), Name("p", i), "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250),
                       SERVICE_RUNNING});
  return members;
}

size_t Count(bool nodes) { return nodes ? test::NodeCount() : test::AddressCount(); }

class OracleLargeCluster : public testing::TestWithParam<int> {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;
};

TEST_P(OracleLargeCluster, MemberTableHolds256MembersAndTheMibShowsThem) {
  const auto members = Members(GetParam());
  test::MakeOracleMembers(members);
  test::WriteClusterManagerKey(members);
  test::RegisterAgentEventSource();
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(test::Eventually([] { return ClusterVendor.load() == kVendorOracle && WatchTablesReady.load() == 1; },
                               60000));
  {
    auto lock = LockMemberTable();
    EXPECT_EQ(256, MemberTable[255].memberNumber);
    EXPECT_STREQ("r256", MemberTable[255].publicName);
    EXPECT_STREQ("p256", MemberTable[255].name);
    EXPECT_EQ(-1, FindMemberByPublicName("r257"));
  }
  EXPECT_EQ(256u, Count(true));
  EXPECT_EQ(256u, Count(false));
  EXPECT_EQ("r256", Get("1.2.11.1.2.256").bytes);
  EXPECT_EQ(std::string("\x0a\x01\x01\x06", 4), Get("1.2.12.1.2.256.1").bytes);  // 10.1.1.6
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2.257").status);
  EXPECT_EQ("1.2.11.1.2.1", test::GetNext("1.2.11.1.1.256").name);
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, OracleLargeCluster, testing::Values(256, 300));

TEST(OracleLargeClusterFailure, NodeEntryThatCannotBeCreatedIsReportedAndEndsTheNodeLoopOnly) {
  velplat::clock::VirtualTimeScope virtualTime;
  const auto members = Members(300);
  test::MakeOracleMembers(members);
  test::WriteClusterManagerKey(members);
  test::RegisterAgentEventSource();
  ASSERT_EQ(0, oracle::ReadOracleNodeNames());
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 200);  // member 201's watcher
  oracle::FillOracleWatchTables(0);
  EXPECT_EQ(200u, Count(true));
  EXPECT_EQ(256u, Count(false));
  auto events = test::EventsWithId(VELMON_ENTRY_NOT_CREATED);
  ASSERT_EQ(1u, events.size());
  EXPECT_THAT(events[0].strings, ElementsAre("r201"));
}

}  // namespace
}  // namespace velmon
